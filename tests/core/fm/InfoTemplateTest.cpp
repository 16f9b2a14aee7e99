#include "core/fm/InfoTemplate.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <stdlib.h>
#include <string>
#include <vector>
#if !defined(_WIN32)
#include <locale.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
// glibc's newlocale keeps the parsed LOCPATH list for good; that is not ours.
#define LW_GLIBC_LOCPATH_LEAK_OK() __lsan::ScopedDisabler lsanOff
#else
#define LW_GLIBC_LOCPATH_LEAK_OK() (void)0
#endif

namespace {

const std::string Date = "Tuesday, 8 December 2026";

// Splits at CR LF; a bare CR or LF anywhere is a failure of its own.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            EXPECT_EQ(start, text.size()) << "text after the last CR LF";
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    for (const std::string& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    return lines;
}

} // namespace

TEST(InfoTemplate, EmptyProjectLayout)
{
    const std::string text = lw::MakeInfoText("", "", "", "", "", Date);
    ASSERT_TRUE(text.ends_with("(This info file was created using Lanternwright.)\r\n\r\n"));
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 67u);
    auto line = [&](int n) { return lines[n - 1]; };

    const std::string rule(83, '=');
    for (int n : {1, 3, 17, 46, 53}) EXPECT_EQ(line(n), rule) << "line " << n;
    for (int n : {4, 12, 14, 16, 18, 20, 32, 35, 37, 39, 41, 45, 47, 49, 52, 54, 56, 58, 62, 65, 67})
        EXPECT_EQ(line(n), "") << "line " << n;

    EXPECT_EQ(line(2), " " + Date);
    EXPECT_EQ(line(5), "Title                   : ");
    EXPECT_EQ(line(10), "Date of Release         : " + Date);
    EXPECT_EQ(line(22), "Level Name              : ");
    EXPECT_EQ(line(23), "File Name               : ");
    EXPECT_EQ(line(19), "* Playing Information *");
    EXPECT_EQ(line(34), " Total length/Size      : ");
    EXPECT_EQ(line(40), "* Construction *");
    EXPECT_EQ(line(50), "Quillhaven ready. Do not unzip -- Place in fan mission folder and install using");
    EXPECT_EQ(line(51), "Quillhaven 4.2 or later.");
    EXPECT_EQ(line(57), "This mission copyright by ");
    EXPECT_EQ(line(60), "kept intact. You may not include this level in any map pack without my permission.");
    EXPECT_EQ(line(63), "This level was not made and is not supported by Looking Glass Studios, Eidos Interactive,");
    EXPECT_EQ(line(64), "or Ion Storm.");
    EXPECT_EQ(line(66), "       (This info file was created using Lanternwright.)");
}

// Every label is padded to its column and followed by ": ".
TEST(InfoTemplate, LabelPadding)
{
    const auto lines = Lines(lw::MakeInfoText("", "", "", "", "", ""));
    ASSERT_EQ(lines.size(), 67u);
    int labels = 0;
    for (int n = 5; n <= 44; ++n) {
        const std::string& l = lines[n - 1];
        if (l.empty() || l[0] == '*' || l[0] == '=') continue;
        const size_t column = n <= 38 ? 24 : 16;
        ASSERT_GT(l.size(), column + 1) << "line " << n;
        EXPECT_EQ(l.substr(column), ": ") << "line " << n << ": " << l;
        ++labels;
    }
    EXPECT_EQ(labels, 27);
}

TEST(InfoTemplate, ValuesGoInAsTheyAre)
{
    // One mission: its long title and file name.
    auto lines = Lines(
        lw::MakeInfoText("Die Bank – Teil 1", "bank.zip", "Thief 2: The Metal Age", "The Bank", "miss20.mis", Date));
    ASSERT_EQ(lines.size(), 67u);
    EXPECT_EQ(lines[4], "Title                   : Die Bank – Teil 1");
    EXPECT_EQ(lines[5], "Filename                : bank.zip");
    EXPECT_EQ(lines[20], "Game                    : Thief 2: The Metal Age");
    EXPECT_EQ(lines[21], "Level Name              : The Bank");
    EXPECT_EQ(lines[22], "File Name               : miss20.mis");

    // Several missions; format characters in a value stay literal.
    lines = Lines(lw::MakeInfoText("100% %s", "a%d.zip", "Thief: The Dark Project", "Vault, Crypt, Tower",
                                   "miss20.mis, miss21.mis, miss22.mis", "%s"));
    ASSERT_EQ(lines.size(), 67u);
    EXPECT_EQ(lines[1], " %s");
    EXPECT_EQ(lines[4], "Title                   : 100% %s");
    EXPECT_EQ(lines[5], "Filename                : a%d.zip");
    EXPECT_EQ(lines[9], "Date of Release         : %s");
    EXPECT_EQ(lines[21], "Level Name              : Vault, Crypt, Tower");
    EXPECT_EQ(lines[22], "File Name               : miss20.mis, miss21.mis, miss22.mis");
}

TEST(InfoTemplate, TodayDateOnBothLines)
{
    const auto lines = Lines(lw::MakeInfoText("T", "t.zip", "G", "L", "F"));
    ASSERT_EQ(lines.size(), 67u);
    const std::string date = lines[1].substr(1);
    EXPECT_FALSE(date.empty());
    EXPECT_EQ(lines[9], "Date of Release         : " + date);
    EXPECT_EQ(date, lw::TodayLongDate());
}

TEST(LongDate, EnglishWhenTheLocaleHasNone)
{
    const lw::CivilDate d{2026, 12, 8};
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "xx_QQ.UTF-8", "xx_QQ"})
        EXPECT_EQ(lw::LongDate(d, name), "Tuesday, 8 December 2026") << name;
    // The weekday comes from the date itself.
    EXPECT_EQ(lw::LongDate({2000, 2, 29}, "C"), "Tuesday, 29 February 2000");
    EXPECT_EQ(lw::LongDate({1999, 1, 1}, "C"), "Friday, 1 January 1999");
}

TEST(LongDate, PatternsByLanguageAndTerritory)
{
    const lw::CivilDate d{2026, 12, 8};
    auto fmt = [&](const char* locale, const char* wd, const char* mon) {
        return lw::FormatLongDate(lw::LongDatePattern(locale), d, wd, mon);
    };
    EXPECT_EQ(fmt("de_DE.UTF-8", "Dienstag", "Dezember"), "Dienstag, 8. Dezember 2026");
    EXPECT_EQ(fmt("de_AT.UTF-8@euro", "Dienstag", "Dezember"), "Dienstag, 8. Dezember 2026");
    EXPECT_EQ(fmt("en_US.UTF-8", "Tuesday", "December"), "Tuesday, December 8, 2026");
    EXPECT_EQ(fmt("en_GB.UTF-8", "Tuesday", "December"), "Tuesday, 8 December 2026");
    EXPECT_EQ(fmt("fr_FR", "mardi", "décembre"), "mardi 8 décembre 2026");
    EXPECT_EQ(fmt("es_ES.UTF-8", "martes", "diciembre"), "martes, 8 de diciembre de 2026");
    EXPECT_EQ(fmt("it_IT", "martedì", "dicembre"), "martedì 8 dicembre 2026");
    // A language without its own pattern still gets a long date.
    EXPECT_EQ(fmt("eo", "mardo", "decembro"), "mardo, 8 decembro 2026");
    // Unknown conversions are kept as they are.
    EXPECT_EQ(lw::FormatLongDate("%Q %d%", d, "", ""), "%Q 8%");
}

namespace {

#if defined(_WIN32)
// Windows carries every locale's names and long date pattern itself.
bool HaveLocale(const std::string&)
{
    return true;
}
#else
bool Installed(const char* name)
{
    locale_t loc = newlocale(LC_TIME_MASK, name, nullptr);
    if (loc != nullptr) freelocale(loc);
    return loc != nullptr;
}

// Makes the test locales available: installed already, or compiled from
// the system's locale sources into a private directory. All are made before
// LOCPATH is set, because glibc remembers a locale it once failed to find.
bool HaveLocale(const std::string& name)
{
    struct Private {
        std::string dir;
        Private()
        {
            const std::pair<const char*, const char*> wanted[] = {{"de_DE", "UTF-8"}, {"fr_FR", "ISO-8859-1"}};
            char tmpl[] = "/tmp/lw-locales-XXXXXX";
            if (const char* made = mkdtemp(tmpl)) dir = made;
            if (dir.empty()) return;
            bool any = false;
            for (auto [input, charset] : wanted) {
                const std::string name = std::string(input) + "." + charset;
                if (Installed(name.c_str())) continue;
                const std::string cmd = "localedef -i " + std::string(input) + " -f " + charset + " " + dir + "/" +
                                        name + " >/dev/null 2>&1";
                any = std::system(cmd.c_str()) == 0 || any;
            }
            if (any) setenv("LOCPATH", dir.c_str(), 1);
        }
        ~Private()
        {
            std::error_code ec;
            if (!dir.empty()) std::filesystem::remove_all(dir, ec);
        }
    };
    static const Private locales;
    return Installed(name.c_str());
}

#endif

} // namespace

TEST(LongDate, InstalledLocaleGivesItsNames)
{
    LW_GLIBC_LOCPATH_LEAK_OK();
    if (!HaveLocale("de_DE.UTF-8")) GTEST_SKIP() << "no German locale on this system";
    EXPECT_EQ(lw::LongDate({2026, 12, 8}, "de_DE.UTF-8"), "Dienstag, 8. Dezember 2026");
    EXPECT_EQ(lw::LongDate({2026, 12, 8}, "de_DE"), "Dienstag, 8. Dezember 2026");
}

TEST(LongDate, EightBitLocaleComesOutAsUtf8)
{
    LW_GLIBC_LOCPATH_LEAK_OK();
    if (!HaveLocale("fr_FR.ISO-8859-1")) GTEST_SKIP() << "no French locale on this system";
    EXPECT_EQ(lw::LongDate({2026, 12, 8}, "fr_FR.ISO-8859-1"), "mardi 8 d\xc3\xa9"
                                                               "cembre 2026");
}

namespace {

// Windows has no setenv; there, setting a variable to "" removes it.
void setVar(const char* name, const char* value)
{
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

void unsetVar(const char* name)
{
#if defined(_WIN32)
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

} // namespace

TEST(LongDate, UserLocaleOrder)
{
    const auto keep = [](const char* var) {
        const char* v = std::getenv(var);
        return std::pair<std::string, bool>(v ? v : "", v != nullptr);
    };
    const auto all = keep("LC_ALL"), time = keep("LC_TIME"), lang = keep("LANG");

    setVar("LC_ALL", "");
    setVar("LC_TIME", "fr_FR.UTF-8");
    setVar("LANG", "de_DE.UTF-8");
    EXPECT_EQ(lw::UserTimeLocaleName(), "fr_FR.UTF-8"); // empty (or, on Windows, no) LC_ALL does not count
    setVar("LC_ALL", "it_IT.UTF-8");
    EXPECT_EQ(lw::UserTimeLocaleName(), "it_IT.UTF-8");
    unsetVar("LC_ALL");
    unsetVar("LC_TIME");
    EXPECT_EQ(lw::UserTimeLocaleName(), "de_DE.UTF-8");
    unsetVar("LANG");
    EXPECT_EQ(lw::UserTimeLocaleName(), "");

    for (auto [var, v] : {std::pair{"LC_ALL", all}, {"LC_TIME", time}, {"LANG", lang}}) {
        if (v.second) setVar(var, v.first.c_str());
    }
}
