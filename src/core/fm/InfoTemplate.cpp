#include "core/fm/InfoTemplate.h"

#include "platform/Locale.h"
#include "platform/Time.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace lw {

namespace {

const char* const EnglishWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const EnglishMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

// 0 = Sunday.
int WeekdayOf(const CivilDate& date)
{
    using namespace std::chrono;
    const year_month_day ymd{year{date.year}, month{static_cast<unsigned>(date.month)},
                             day{static_cast<unsigned>(date.day)}};
    return static_cast<int>(weekday{sys_days{ymd}}.c_encoding());
}

bool IsPlainCLocale(std::string_view name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

std::string EnglishLongDate(const CivilDate& date)
{
    return FormatLongDate("%A, %d %B %Y", date, EnglishWeekdays[WeekdayOf(date)], EnglishMonths[(date.month - 1) % 12]);
}

} // namespace

CivilDate Today()
{
    const std::tm tm = platform::LocalTime(std::time(nullptr));
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string UserTimeLocaleName()
{
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return value;
    }
    return {};
}

std::string LongDatePattern(const std::string& localeName)
{
    // "de_DE.UTF-8@euro" -> language "de", territory "DE".
    const std::string base = localeName.substr(0, localeName.find_first_of(".@"));
    const auto sep = base.find('_');
    const std::string lang = base.substr(0, sep);
    const std::string territory = sep == std::string::npos ? "" : base.substr(sep + 1);

    struct Entry {
        const char* lang;
        const char* pattern;
    };
    static const Entry table[] = {
        {"de", "%A, %d. %B %Y"},      {"fr", "%A %d %B %Y"},        {"it", "%A %d %B %Y"},
        {"es", "%A, %d de %B de %Y"}, {"pt", "%A, %d de %B de %Y"}, {"ca", "%A, %d de %B de %Y"},
        {"nl", "%A %d %B %Y"},        {"sv", "%A %d %B %Y"},        {"da", "%A den %d. %B %Y"},
        {"nb", "%A %d. %B %Y"},       {"no", "%A %d. %B %Y"},       {"fi", "%A %d. %B %Y"},
        {"cs", "%A %d. %B %Y"},       {"sk", "%A %d. %B %Y"},       {"pl", "%A, %d %B %Y"},
        {"ru", "%A, %d %B %Y г."},    {"hu", "%Y. %B %d., %A"},     {"ja", "%Y年%B%d日 %A"},
        {"zh", "%Y年%B%d日 %A"},
    };
    if (lang == "en")
        return territory == "US" || territory == "CA" || territory == "PH" ? "%A, %B %d, %Y" : "%A, %d %B %Y";
    for (const Entry& e : table)
        if (lang == e.lang) return e.pattern;
    return "%A, %d %B %Y";
}

std::string FormatLongDate(const std::string& pattern, const CivilDate& date, const std::string& weekdayName,
                           const std::string& monthName)
{
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        switch (pattern[++i]) {
        case 'A': out += weekdayName; break;
        case 'B': out += monthName; break;
        case 'd': out += std::to_string(date.day); break;
        case 'Y': out += std::to_string(date.year); break;
        default:
            out += '%';
            out += pattern[i];
            break;
        }
    }
    return out;
}

std::string LongDate(const CivilDate& date, const std::string& localeName)
{
    if (IsPlainCLocale(localeName)) return EnglishLongDate(date);
    const std::string local = platform::LongDateIn(localeName, date.year, date.month, date.day, WeekdayOf(date));
    return local.empty() ? EnglishLongDate(date) : local;
}

std::string TodayLongDate()
{
    const CivilDate today = Today();
    const std::string local = platform::UserLongDate(today.year, today.month, today.day, WeekdayOf(today));
    return local.empty() ? EnglishLongDate(today) : local;
}

std::string MakeInfoText(const std::string& title, const std::string& archiveName, const std::string& gameName,
                         const std::string& levelNames, const std::string& missionFiles, const std::string& date)
{
    const std::string rule(83, '=');
    const std::string lines[] = {
        rule,
        " " + date,
        rule,
        "",
        "Title                   : " + title,
        "Filename                : " + archiveName,
        "Author                  : ",
        "Contact info            : ",
        "Homepage                : ",
        "Date of Release         : " + date,
        "Version                 : ",
        "",
        "Description             : ",
        "",
        "Briefing                : ",
        "",
        rule,
        "",
        "* Playing Information *",
        "",
        "Game                    : " + gameName,
        "Level Name              : " + levelNames,
        "File Name               : " + missionFiles,
        "Difficulty Settings     : ",
        "Equipment Store         : ",
        "Map/Automap             : ",
        "New Graphics            : ",
        "New Objects             : ",
        "New Sounds              : ",
        "EAX Support             : ",
        "Multi-Language Support  : ",
        "",
        "Briefing                : ",
        " Total length/Size      : ",
        "",
        "Difficulty Level Info   : ",
        "",
        "Known bugs              : ",
        "",
        "* Construction *",
        "",
        "Base            : ",
        "Map Size        : ",
        "Build Time      : ",
        "",
        rule,
        "",
        "* Loading Information *",
        "",
        "Quillhaven ready. Do not unzip -- Place in fan mission folder and install using",
        "Quillhaven 4.2 or later.",
        "",
        rule,
        "",
        "* Copyright Information *",
        "",
        "This mission copyright by ",
        "",
        "Distribution of this level is allowed as long as it is free and the package is",
        "kept intact. You may not include this level in any map pack without my permission.",
        "No one may edit and re-distribute this mission without my express permission.",
        "",
        "This level was not made and is not supported by Looking Glass Studios, Eidos Interactive,",
        "or Ion Storm.",
        "",
        "       (This info file was created using Lanternwright.)",
        "",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string MakeInfoText(const std::string& title, const std::string& archiveName, const std::string& gameName,
                         const std::string& levelNames, const std::string& missionFiles)
{
    return MakeInfoText(title, archiveName, gameName, levelNames, missionFiles, TodayLongDate());
}

} // namespace lw
