// The mission table, its chain and the mission string files.
#include "core/fm/Project.h"

#include "base/Errors.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/text/CfgFiles.h"
#include "core/text/TextCodec.h"
#include "platform/File.h"

#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;

namespace lw {

namespace {

std::string key(const char* fmt, int n)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, n);
    return buf;
}

// The string files' directories may be missing; create them, reusing any
// that exist in another letter case.
void makeParentDirs(const std::string& fullPath)
{
    const fs::path dir = platform::PathFromUtf8(fullPath).parent_path();
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        ThrowFileError("create the directory", platform::Utf8Of(dir), ec ? ec.value() : ENOTDIR);
}

} // namespace

void Project::SetMissCount(int count)
{
    if (count < 0) count = 0;
    count = (count + 3) / 4 * 4;
    if (count == MissCount) return;
    const bool wasEmpty = Missions.empty();
    Missions.resize(size_t(count) + 1);
    if (wasEmpty) {
        Missions[0] = TMissInfo{};
        Missions[0].Flags = mfEnd;
    }
    for (int i = MissCount + 1; i <= count; ++i) Missions[size_t(i)] = TMissInfo{};
    MissCount = count;
}

void Project::ClearMissions()
{
    CurMiss = 0;
    for (int i = 1; i <= MissCount; ++i) Missions[size_t(i)] = TMissInfo{};
}

TMissFlags Project::readFlagsOf(TCfgFile& file, int n)
{
    const std::string value = file.ReadString(key("miss_%d", n), "@");
    if (value == "@") return 0;
    return ParseMissFlags(value) & TMissFlags(~(mfSkip | mfEnd));
}

void Project::AddMission(int n)
{
    if (n < 1 || n > MaxMissionNumber) return;
    if (n > MissCount) SetMissCount(n);
    {
        TCfgFile flags = TCfgFile::StringFile(FullPath(FMInfo.MissFlagFile));
        StringFileStamps.Read(flags.FileName(), flags.Stamp());
        Missions[size_t(n)].Flags = readFlagsOf(flags, n);
    }
    TMissInfo& m = Missions[size_t(n)];
    m.Next = 0;

    int i = n + 1;
    while (i <= MissCount && !InPlay(i)) ++i;
    if (i <= MissCount) {
        if (i != n + 1) m.Next = i;
    } else {
        m.Flags |= mfEnd;
        FMInfo.LastMiss = n;
    }

    bool below = false;
    for (int j = n - 1; j >= 1; --j) {
        TMissInfo& mj = Missions[size_t(j)];
        if (mj.Next == i) mj.Next = n;
        if (InPlay(j)) {
            mj.Flags &= TMissFlags(~mfEnd);
            mj.Next = (j + 1 == n) ? 0 : n;
            below = true;
            break;
        }
    }
    if (!below) {
        FMInfo.FirstMiss = n;
        if (n > 1) Missions[1].Next = n;
    }

    for (int k = 0; k < LangCount; ++k) {
        if (FMInfo.TitleFiles[size_t(k)].empty()) continue;
        TCfgFile titles = TCfgFile::StringFile(FullPath(FMInfo.TitleFiles[size_t(k)]));
        StringFileStamps.Read(titles.FileName(), titles.Stamp());
        const int cp = StringFileCodePage(FMInfo.TitleFiles[size_t(k)], titles.ByteOrderMark());
        m.LongNames[size_t(k)] = FileText::FromFile(titles.ReadString(key("title_%d", n), ""), cp);
        m.ShortNames[size_t(k)] = FileText::FromFile(titles.ReadString(key("short_%d", n), ""), cp);
    }
}

void Project::RemoveMission(int n)
{
    if (n < 1 || n > MissCount) return;
    TMissInfo& m = Missions[size_t(n)];
    const bool wasInPlay = InPlay(n);
    const int s = m.Next != 0 ? m.Next : ((m.Flags & mfEnd) ? 0 : n + 1);
    int prev = 0;
    for (int j = n - 1; j >= 1; --j) {
        TMissInfo& mj = Missions[size_t(j)];
        if (mj.Next == n) mj.Next = s;
        if (InPlay(j)) {
            if (j + 1 == n) mj.Next = s;
            if (m.Flags & mfEnd) mj.Flags |= mfEnd;
            prev = j;
            break;
        }
    }
    m = TMissInfo{};
    // Neither the mission flag file nor Info may name a removed mission, so
    // the ends of the chain move to the neighbouring missions in play.
    if (!wasInPlay) return;
    if (FMInfo.FirstMiss == n) {
        int first = s;
        while (first >= 1 && first <= MissCount && !InPlay(first)) ++first;
        FMInfo.FirstMiss = first <= MissCount ? first : 0;
    }
    if (FMInfo.LastMiss == n) FMInfo.LastMiss = prev;
    if (FMInfo.FirstMiss == 0 || FMInfo.LastMiss == 0) FMInfo.FirstMiss = FMInfo.LastMiss = 0;
}

void Project::ReadMissFlags()
{
    FMInfo.FirstMiss = FMInfo.LastMiss = 0;
    ClearMissions();
    TCfgFile file = TCfgFile::StringFile(FullPath(FMInfo.MissFlagFile));
    StringFileStamps.Read(file.FileName(), file.Stamp());
    int n = 1;
    std::string value = file.ReadString(key("miss_%d", n), "@");
    while (value != "@" && n <= MaxMissionNumber) {
        if (n > MissCount) SetMissCount(n);
        const TMissFlags flags = ParseMissFlags(value);
        bool stop = false;
        if (!(flags & mfSkip) && FileExistsAt(platform::PathFromUtf8(FMInfo.FMDir), key("miss%d.mis", n))) {
            Missions[size_t(n)].Flags = flags;
            Files.push_back(key("miss%d.mis", n));
            if (FMInfo.FirstMiss == 0) FMInfo.FirstMiss = n;
            if (n > FMInfo.LastMiss) FMInfo.LastMiss = n;
            stop = flags & mfEnd;
        }
        // A link that does not point forward, or past the last mission
        // number, would loop or leave the table: it is not followed.
        const std::string nextText = file.ReadString(key("miss_%d_next", n), "");
        long next = 0;
        if (!nextText.empty() && nextText.size() < 10 && nextText.find_first_not_of("0123456789") == std::string::npos)
            next = std::stol(nextText);
        if (next > n + 1 && next <= MaxMissionNumber) {
            Missions[size_t(n)].Next = int(next);
            n = int(next);
        } else {
            Missions[size_t(n)].Next = 0;
            ++n;
        }
        if (stop) break;
        value = file.ReadString(key("miss_%d", n), "@");
    }
}

void Project::ReadTitles(const std::string& path, int lang, bool readFMKeys)
{
    if (lang < 0 || lang >= LangCount) return;
    TCfgFile file = TCfgFile::StringFile(FullPath(path));
    StringFileStamps.Read(file.FileName(), file.Stamp());
    const int cp = StringFileCodePage(path, file.ByteOrderMark());
    // A file added to the project keeps the FM's name it holds: only a
    // name the project has for that language already goes in its place.
    if (readFMKeys || FMInfo.Names[size_t(lang)].empty()) {
        const std::string title = file.ReadString("title_0", "");
        if (!title.empty()) FMInfo.Names[size_t(lang)] = FileText::FromFile(title, cp);
    }
    if (readFMKeys) {
        // A short name read from a file is cleaned as a typed one is: it
        // names the archive, which must not land outside the FM directory.
        const std::string shortName = file.ReadString("short_0", "");
        FileText read = FileText::FromFile(shortName, cp);
        std::string cleaned = read.Text();
        if (CleanShortName(cleaned)) read = FileText::FromUser(cleaned);
        if (!cleaned.empty()) {
            FMInfo.ShortName = read;
            shortNameFromList_ = false;
        }
    }
    for (int n = 1; n <= MissCount;) {
        TMissInfo& m = Missions[size_t(n)];
        if (InPlay(n)) {
            m.LongNames[size_t(lang)] = FileText::FromFile(file.ReadString(key("title_%d", n), ""), cp);
            m.ShortNames[size_t(lang)] = FileText::FromFile(file.ReadString(key("short_%d", n), ""), cp);
            if (m.Flags & mfEnd) break;
        }
        n = m.Next > n ? m.Next : n + 1;
    }
}

std::vector<int> Project::Chain() const
{
    std::vector<int> chain;
    if (FMInfo.FirstMiss < 1) return chain;
    for (int n = FMInfo.FirstMiss; n >= 1 && n <= MissCount;) {
        const TMissInfo& m = Missions[size_t(n)];
        if (InPlay(n)) chain.push_back(n);
        if (n == FMInfo.LastMiss || (m.Flags & mfEnd)) break;
        n = m.Next > n ? m.Next : n + 1;
    }
    return chain;
}

namespace {

// A flag value is rewritten only when it says other flags than the file's:
// "end,cutscene" and "cutscene,end" are one value.
void writeFlags(TCfgFile& file, int n, TMissFlags flags)
{
    const std::string k = key("miss_%d", n);
    const std::string old = file.ReadString(k, "@");
    if (old != "@" && ParseMissFlags(old) == flags) return;
    file.WriteString(k, FormatMissFlags(flags));
}

} // namespace

bool Project::WriteMissFlags(const std::string& fullPath, const ConfirmOverwrite& confirm)
{
    makeParentDirs(fullPath);
    TCfgFile file = TCfgFile::StringFile(fullPath);
    file.SetDeferred(true);
    // A mission written with a "next" link of an earlier chain would lead
    // the next reading past missions in play: each written mission's link
    // says where the chain goes now, or goes.
    auto setNext = [&](int n, int next) {
        const std::string k = key("miss_%d_next", n);
        if (next > n + 1) {
            if (file.HasKey(k)) file.WriteString(k, std::to_string(next));
        } else {
            file.DeleteKey(k);
        }
    };
    if (FMInfo.FirstMiss == 0) {
        writeFlags(file, 1, mfSkip);
        setNext(1, 0);
    } else {
        for (int n = 1; n < FMInfo.FirstMiss; ++n) {
            writeFlags(file, n, mfSkip);
            setNext(n, 0);
        }
        for (int n = FMInfo.FirstMiss; n >= 1 && n <= MissCount;) {
            const TMissInfo& m = Missions[size_t(n)];
            writeFlags(file, n, m.Flags);
            if (n == FMInfo.LastMiss || (m.Flags & mfEnd)) {
                setNext(n, 0);
                break;
            }
            const int next = m.Next > n ? m.Next : n + 1;
            setNext(n, next);
            // The game reads no "next" links: it goes on to the following
            // number, so every number the chain jumps over is skipped.
            for (int gap = n + 1; gap < next; ++gap) {
                writeFlags(file, gap, mfSkip);
                setNext(gap, 0);
            }
            n = next;
        }
    }
    return WriteBack(file, StringFileStamps, confirm, FMInfo.MissFlagFile.empty() ? fullPath : FMInfo.MissFlagFile);
}

int Project::TitleCodePage(int lang) const
{
    if (lang < 0 || lang >= LangCount) return 850;
    const std::string& path = FMInfo.TitleFiles[size_t(lang)];
    if (path.empty()) return StringFileCodePage(StringsDir() + LangDirs[size_t(lang)] + "titles.str", false);
    return StringFileCodePageOf(FullPath(path));
}

const FileText& Project::titleFor(const LocalText& names, int lang) const
{
    const FileText& own = names[size_t(lang)];
    if (!own.empty() || FMInfo.Language < 0 || FMInfo.Language >= LangCount) return own;
    return names[size_t(FMInfo.Language)];
}

namespace {

std::string refusalText(const std::string& what, char32_t c, const std::string& file, int cp)
{
    return what + " holds " + CharacterName(c) + ", which " + file + " cannot hold: its names are in " +
           CodePageName(cp) + ".";
}

} // namespace

std::vector<NameProblem> Project::UnwritableNames() const
{
    std::vector<NameProblem> problems;
    const std::vector<int> chain = Chain();
    for (int k = 0; k < LangCount; ++k) {
        const std::string& file = FMInfo.TitleFiles[size_t(k)];
        if (file.empty()) continue;
        const int cp = TitleCodePage(k);
        std::string bytes;
        char32_t bad = 0;
        auto test = [&](const FileText& t, const std::string& what) {
            if (!t.BytesFor(cp, bytes, &bad)) problems.push_back({k, file, refusalText(what, bad, file, cp)});
        };
        // A name borrowed from the project language that the file cannot
        // hold is left out of it (see WriteTitles): no problem of the file.
        auto testOwn = [&](const LocalText& names, const std::string& what) {
            if (!names[size_t(k)].empty()) test(names[size_t(k)], what);
        };
        testOwn(FMInfo.Names, "The FM's name");
        if (!shortNameFromList_) test(FMInfo.ShortName, "The FM's short name");
        for (int n : chain) {
            const TMissInfo& m = Missions[size_t(n)];
            testOwn(m.LongNames, "The long name of mission " + std::to_string(n));
            testOwn(m.ShortNames, "The short name of mission " + std::to_string(n));
        }
    }
    return problems;
}

std::string Project::NameRefusal(const std::string& text, int lang) const
{
    const FileText typed = FileText::FromUser(text);
    for (int k = 0; k < LangCount; ++k) {
        if (lang >= 0 && k != lang) continue;
        if (lang < 0 && FMInfo.TitleFiles[size_t(k)].empty()) continue;
        const int cp = TitleCodePage(k);
        std::string bytes;
        char32_t bad = 0;
        if (!typed.BytesFor(cp, bytes, &bad)) {
            const std::string& listed = FMInfo.TitleFiles[size_t(k)];
            const std::string file = listed.empty() ? StringsDir() + LangDirs[size_t(k)] + "titles.str" : listed;
            return refusalText("The name", bad, file, cp);
        }
    }
    return {};
}

bool Project::WriteTitles(const std::string& fullPath, int lang, const ConfirmOverwrite& confirm)
{
    if (lang < 0 || lang >= LangCount) return true;
    makeParentDirs(fullPath);
    TCfgFile file = TCfgFile::StringFile(fullPath);
    const std::string& listed = FMInfo.TitleFiles[size_t(lang)];
    const std::string shown = listed.empty() ? fullPath : listed;
    const int cp = StringFileCodePage(listed.empty() ? fullPath : listed, file.ByteOrderMark());
    file.SetDeferred(true);
    // A name goes in as the file's code page writes it, or not at all; an
    // empty one the file does not hold yet is not added.
    // A name borrowed from the project language's file (this one has none of
    // its own) was never typed for this file: where the code page cannot
    // hold it, the file keeps what it has, and the save goes on.
    auto put = [&](const std::string& k, const FileText& t, const std::string& what, bool borrowed = false) {
        std::string bytes;
        char32_t bad = 0;
        if (!t.BytesFor(cp, bytes, &bad)) {
            if (borrowed) return;
            throw Error(refusalText(what, bad, shown, cp));
        }
        if (!bytes.empty() || file.HasKey(k)) file.WriteString(k, bytes);
    };
    auto putName = [&](const std::string& k, const LocalText& names, const std::string& what) {
        put(k, titleFor(names, lang), what, names[size_t(lang)].empty());
    };
    if (!titleFor(FMInfo.Names, lang).empty()) putName("title_0", FMInfo.Names, "The FM's name");
    // A short name the author did not give (the list file's name) goes into
    // no file. One read from a file was cleaned to name the archive: a file
    // whose own spelling cleans to the same name keeps that spelling.
    std::string held = DecodeCodePage(cp, file.ReadString("short_0", ""));
    CleanShortName(held);
    const bool spelt = file.HasKey("short_0") && held == FMInfo.ShortName.Text();
    if (!shortNameFromList_ && !spelt) put("short_0", FMInfo.ShortName, "The FM's short name");
    for (int n : Chain()) {
        const TMissInfo& m = Missions[size_t(n)];
        putName(key("title_%d", n), m.LongNames, "The long name of mission " + std::to_string(n));
        putName(key("short_%d", n), m.ShortNames, "The short name of mission " + std::to_string(n));
    }
    return WriteBack(file, StringFileStamps, confirm, shown);
}

} // namespace lw
