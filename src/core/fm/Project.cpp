#include "core/fm/Project.h"

#include "base/Errors.h"
#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/ShareOut.h"
#include "base/StrUtils.h"
#include "core/fm/ListFile.h"
#include "core/missions/MissionUses.h"
#include "core/questions/Questions.h"
#include "core/text/CfgFiles.h"
#include "platform/Directory.h"
#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <set>
#include <unordered_set>

namespace fs = std::filesystem;

namespace lw {

namespace {

std::string missFileName(int n)
{
    return "miss" + std::to_string(n) + ".mis";
}

bool hasDirPart(const std::string& entry)
{
    return entry.find_first_of("\\/") != std::string::npos;
}

std::string extensionOf(const std::string& entry)
{
    const size_t dot = entry.rfind('.');
    const size_t bs = entry.find_last_of("\\/");
    if (dot == std::string::npos || (bs != std::string::npos && dot < bs)) return {};
    return AsciiLower(entry.substr(dot));
}

std::string fileNamePart(const std::string& entry)
{
    const size_t bs = entry.find_last_of("\\/");
    return bs == std::string::npos ? entry : entry.substr(bs + 1);
}

// Whether a listed file is there.
struct Presence {
    bool exists = false;
    std::string refusal;        // the path is over the resolver's limits
    std::exception_ptr failure; // anything else that went wrong (out of memory)
};

// Every entry looked up at once: a large FM lists tens of thousands of
// files, found on every core with each folder read once.
std::vector<Presence> lookUpAll(const std::vector<std::string>& files, const fs::path& fmDir, FolderCache& folders)
{
    std::vector<Presence> out(files.size());
    // An entry's group is its folder as listed, without case.
    auto folderOf = [&](size_t i) {
        const std::string& f = files[i];
        const size_t cut = f.find_last_of("\\/");
        return FoldedHash(std::string_view(f).substr(0, cut == std::string::npos ? 0 : cut));
    };
    ShareOutGrouped(files.size(), PartsFor(files.size()), folderOf, [&](const size_t* first, const size_t* last) {
        try {
            PathIndex index(folders);
            for (const size_t* i = first; i != last; ++i) {
                try {
                    out[*i].exists = index.FileExists(fmDir, files[*i]);
                } catch (const Error& e) {
                    out[*i].refusal = e.what();
                }
            }
        } catch (...) { // none may leave a thread: the whole part fails with it
            const std::exception_ptr failure = std::current_exception();
            for (const size_t* i = first; i != last; ++i) out[*i].failure = failure;
        }
    });
    return out;
}

bool listHolds(const std::vector<std::string>& files, const std::string& entry)
{
    return std::any_of(files.begin(), files.end(), [&](const std::string& f) { return EqualsNoCase(f, entry); });
}

} // namespace

std::string ShownEntry(std::string_view entry)
{
    std::string out;
    for (char c : entry) {
        if (c == '\0') out += "\\0";
        else
            out += c;
    }
    return out;
}

bool CleanShortName(std::string& text)
{
    std::string cleaned;
    for (char c : text)
        if (ForbiddenNameChars.find(c) == std::string_view::npos) cleaned += c;
    const bool changed = cleaned.size() != text.size();
    text = std::move(cleaned);
    return changed;
}

Project::Project()
{
    SetMissCount(20);
}

std::string Project::FullPath(const std::string& entry) const
{
    return platform::Utf8Of(ResolvePath(platform::PathFromUtf8(FMInfo.FMDir), entry));
}

std::string Project::StringsDir() const
{
    return FMInfo.Game == GameThief2x ? "t2x\\strings\\" : "strings\\";
}

void Project::New(const CreateEntries& e)
{
    // Each project starts from a cleared record: names and titles paths of
    // an earlier project would otherwise be listed in the new directory.
    FMInfo = TFMInfo{};
    FMInfo.FMDir = AsDirPath(platform::PathFromUtf8(e.dir));
    FMInfo.Game = e.game;
    FMInfo.Language = (e.language >= 0 && e.language < LangCount) ? e.language : 0;
    FMInfo.Names[size_t(FMInfo.Language)] = FileText::FromUser(e.name);
    FMInfo.ShortName = FileText::FromUser(e.shortName);
    FMInfo.MissFlagFile = StringsDir() + "missflag.str";

    std::string rel;
    int lang = 0;
    FindStringFile(FMInfo.FMDir, StringsDir(), "titles.str", rel, lang);
    if (rel.empty()) FMInfo.TitleFiles[0].clear();
    else
        FMInfo.TitleFiles[size_t(lang < 0 ? FMInfo.Language : lang)] = rel;

    FMInfo.InfoFile = FindInfoFile(FMInfo.FMDir, FMInfo.ShortName.Text());
    FMInfo.InfoRank = FMInfo.InfoFile.empty() ? 0 : InfoFileRank(FMInfo.InfoFile, FMInfo.ShortName.Text());

    StringFileStamps.Clear();
    ListFile.clear();
    RefusedLines.clear();
    namesChanged_ = listChanged_ = shortNameFromList_ = false;
    Files.clear();
    if (!FMInfo.InfoFile.empty()) Files.push_back(FMInfo.InfoFile);
    Files.push_back(FMInfo.MissFlagFile);
    ReadMissFlags();
    for (int k = 0; k < LangCount; ++k) {
        const std::string& path = FMInfo.TitleFiles[size_t(k)];
        if (path.empty()) continue;
        Files.push_back(path);
        ReadTitles(path, k, true);
    }
    ReadRelease(*this);
    if (ViewLang < 0) ViewLang = FMInfo.Language;
    CurMiss = 0;
}

bool Project::Open(const std::string& listFile, Questions& questions, FolderCache* folders, MissingFiles missing)
{
    Files.clear();
    ClearMissions();
    StringFileStamps.Clear();
    RefusedLines.clear();
    namesChanged_ = listChanged_ = false;
    Release = FMRelease{};
    Files = ReadListFile(listFile);
    ListFile = listFile;

    auto resetRecord = [&](const std::string& dir) {
        FMInfo.FMDir = dir;
        FMInfo.Game = -1;
        FMInfo.Language = -1;
        FMInfo.ShortName = FileText::FromUser(FileBaseName(listFile));
        shortNameFromList_ = true;
        FMInfo.MissFlagFile.clear();
        FMInfo.Names = LocalText{};
        FMInfo.TitleFiles = LocalString{};
        FMInfo.InfoFile.clear();
        FMInfo.InfoRank = 0;
    };
    resetRecord(AsDirPath(platform::PathFromUtf8(listFile).parent_path()));

    // A NUL cuts a path short where it reaches the system, so such a line
    // would stand for another file than it names.
    std::vector<std::string> refused;
    for (size_t i = Files.size(); i-- > 0;) {
        if (Files[i].find('\0') == std::string::npos) continue; // nearly every line: no need to clean it
        const std::string entry = CleanListEntry(Files[i]);
        if (entry.find('\0') == std::string::npos) continue;
        refused.insert(refused.begin(), ShownEntry(entry));
        RefusedLines.insert(RefusedLines.begin(), RefusedLine{int(i + 1), ShownEntry(entry)});
        Files.erase(Files.begin() + long(i));
    }
    if (!refused.empty()) {
        std::string text = NulEntryMessage;
        for (const std::string& r : refused) text += "\n" + r;
        questions.ShowMessage(MessageKind::Warning, "Lanternwright", text);
    }

    for (std::string& f : Files) f = CleanListEntry(f);
    std::erase_if(Files, [](const std::string& f) { return f.empty(); });

    auto fail = [&] {
        Files.clear();
        CurMiss = 0;
        return false;
    };

    std::set<int> missions;
    bool askedFolder = false;
    bool rescan = true;
    while (rescan) {
        rescan = false;
        missions.clear();
        FolderCache ownFolders;
        const std::vector<Presence> presence =
            lookUpAll(Files, platform::PathFromUtf8(FMInfo.FMDir), folders ? *folders : ownFolders);
        for (size_t i = Files.size(); i-- > 0;) {
            const std::string& entry = Files[i];
            if (presence[i].failure) std::rethrow_exception(presence[i].failure);
            const bool keep = missing == MissingFiles::Keep; // the check names each one
            if (!presence[i].refusal.empty() && !keep) {     // a path no FM holds: no folder would help
                questions.ShowMessage(MessageKind::Error, "Lanternwright", presence[i].refusal);
                return fail();
            }
            if (!presence[i].exists && !keep) {
                if (askedFolder) {
                    questions.ShowMessage(MessageKind::Error, "Lanternwright", FilesNotFoundMessage);
                    return fail();
                }
                askedFolder = true;
                const auto folder =
                    questions.ChooseFolder({MissFolderTitle, MissFolderText, FMInfo.FMDir, MissFolderOptions});
                if (!folder) {
                    questions.ShowMessage(MessageKind::Error, "Lanternwright", FilesNotFoundMessage);
                    return fail();
                }
                // What the first pass gathered belonged to the wrong folder.
                resetRecord(AsDirPath(platform::PathFromUtf8(*folder)));
                rescan = true;
                break;
            }
            // The game's names ignore case, and so does this recognition:
            // a list written as "Strings\MissFlag.str" must not make a
            // second flag file entry.
            int lang = -1;
            if (EqualsNoCase(entry, "t2x\\strings\\missflag.str")) {
                FMInfo.MissFlagFile = entry;
                FMInfo.Game = GameThief2x;
            } else if (EqualsNoCase(entry, "strings\\missflag.str")) {
                FMInfo.MissFlagFile = entry;
            } else if (EqualsNoCase(fileNamePart(entry), "titles.str")) {
                if (IsStringFilePath("t2x\\strings\\", entry, lang)) {
                    FMInfo.Game = GameThief2x;
                } else if (!IsStringFilePath("strings\\", entry, lang)) {
                    lang = -1;
                }
                if (lang >= 0) {
                    FMInfo.TitleFiles[size_t(lang)] = entry;
                    if (FMInfo.Language < 0) FMInfo.Language = lang;
                }
            }
            const int rank = InfoFileRank(entry, FMInfo.ShortName.Text());
            if (rank > FMInfo.InfoRank) {
                FMInfo.InfoFile = entry;
                FMInfo.InfoRank = rank;
            }
            if (const int n = MissNumber(entry)) missions.insert(n);
        }
    }

    // The author's word first, then the list's string files, the game's
    // program in the folder, and the missions in play, which an FM tree
    // kept without the game tells by itself; the question comes last.
    if (ToldGame >= 0 && ToldGame < GameCount) FMInfo.Game = ToldGame;
    if (FMInfo.Game < 0) FMInfo.Game = DetectGame(FMInfo.FMDir);
    if (FMInfo.Game < 0)
        FMInfo.Game =
            GameOfMissions(platform::PathFromUtf8(FMInfo.FMDir), std::vector<int>(missions.begin(), missions.end()));
    if (FMInfo.Game < 0) {
        const int game = questions.ChooseGame();
        if (game < 0 || game >= GameCount) return fail();
        FMInfo.Game = game;
    }
    if (FMInfo.MissFlagFile.empty()) {
        FMInfo.MissFlagFile = StringsDir() + "missflag.str";
        Files.push_back(FMInfo.MissFlagFile);
    }
    if (FMInfo.Language < 0) FMInfo.Language = 0;

    if (missions.empty()) {
        FMInfo.FirstMiss = FMInfo.LastMiss = 0;
    } else {
        TCfgFile flags = TCfgFile::StringFile(FullPath(FMInfo.MissFlagFile));
        StringFileStamps.Read(flags.FileName(), flags.Stamp());
        const std::vector<int> sorted(missions.begin(), missions.end());
        const int last = sorted.back();
        FMInfo.LastMiss = last;
        SetMissCount(last);
        ClearMissions();
        Missions[size_t(last)].Flags = readFlagsOf(flags, last) | mfEnd;
        for (size_t i = sorted.size() - 1; i-- > 0;) {
            const int n = sorted[i];
            Missions[size_t(n)].Flags = readFlagsOf(flags, n);
            if (sorted[i + 1] != n + 1) Missions[size_t(n)].Next = sorted[i + 1];
        }
        FMInfo.FirstMiss = sorted.front();
    }
    for (int k = 0; k < LangCount; ++k)
        if (!FMInfo.TitleFiles[size_t(k)].empty()) ReadTitles(FMInfo.TitleFiles[size_t(k)], k, true);
    ReadRelease(*this);
    if (ViewLang < 0) ViewLang = FMInfo.Language;
    CurMiss = 0;
    return true;
}

void Project::WriteStringFiles(const ConfirmOverwrite& confirm)
{
    // A removed FM directory would otherwise be made again, holding nothing
    // but the string files.
    if (!IsDirectory(platform::PathFromUtf8(FMInfo.FMDir)))
        ThrowFileError("write to the FM directory", FMInfo.FMDir, ENOENT);
    // A name that cannot be written stops the run before any file changes.
    if (const std::vector<NameProblem> problems = UnwritableNames(); !problems.empty())
        throw Error(problems.front().message);
    // A file the author chose not to write over keeps the names unsaved.
    bool all = FMInfo.MissFlagFile.empty() || WriteMissFlags(FullPath(FMInfo.MissFlagFile), confirm);
    for (int k = 0; k < LangCount; ++k)
        if (!FMInfo.TitleFiles[size_t(k)].empty() && !WriteTitles(FullPath(FMInfo.TitleFiles[size_t(k)]), k, confirm))
            all = false;
    if (all) namesChanged_ = false;
}

void Project::SaveListFile(const std::string& path)
{
    WriteListFile(path, Files);
    ListFile = path;
    listChanged_ = false;
}

void Project::AddFiles(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        if (path.find('\0') != std::string::npos) throw Error(std::string(NulEntryMessage) + "\n" + ShownEntry(path));
    // A folder of thousands of files is added at once: each is looked up
    // here, not compared with every entry.
    std::unordered_set<std::string> listed;
    listed.reserve(Files.size() + paths.size());
    for (const std::string& f : Files) listed.insert(AsciiLower(f));
    for (const std::string& path : paths) {
        const std::string entry = RelativeEntry(platform::PathFromUtf8(FMInfo.FMDir), platform::PathFromUtf8(path));
        if (!listed.insert(AsciiLower(entry)).second) continue;
        Files.push_back(entry);
        listChanged_ = true;
        if (extensionOf(entry) == ".mis" && !hasDirPart(entry))
            if (const int n = MissNumber(entry)) AddMission(n);
        int lang = -1;
        if (EqualsNoCase(fileNamePart(entry), "titles.str") && IsStringFilePath("strings\\", entry, lang) &&
            lang >= 0) {
            FMInfo.TitleFiles[size_t(lang)] = entry;
            ReadTitles(entry, lang, false);
        }
        const int rank = InfoFileRank(entry, FMInfo.ShortName.Text());
        if (rank > FMInfo.InfoRank) {
            FMInfo.InfoFile = entry;
            FMInfo.InfoRank = rank;
        }
    }
}

namespace {

struct FolderWalk {
    FolderAddition& counts;
    std::vector<std::string>& files;

    void walk(const std::string& dir, int depth)
    {
        std::vector<platform::DirEntry> entries;
        if (depth > 64 || platform::ListDirectory(platform::PathFromUtf8(dir), entries) != 0) {
            ++counts.unreadable;
            return;
        }
        for (const platform::DirEntry& e : entries) {
            const std::string path = dir + (dir.empty() || dir.back() == '/' ? "" : "/") + e.name;
            if (e.hidden) {
                ++counts.hidden;
                continue;
            }
            if (std::any_of(e.name.begin(), e.name.end(), [](char c) { return uint8_t(c) < 0x20; })) {
                ++counts.unlistable;
                continue;
            }
            if (e.kind == platform::EntryKind::Directory) {
                if (!e.link) walk(path, depth + 1); // unpacked, a folder link is no folder of the FM
                continue;
            }
            if (e.kind != platform::EntryKind::File) continue;
            const std::string ext = extensionOf(e.name);
            if (ext == ".lst") ++counts.listFiles;
            else if (ext == ".zip" || ext == ".7z" || ext == ".rar")
                ++counts.archives;
            else
                files.push_back(path);
        }
    }
};

} // namespace

FolderAddition Project::AddFolder(const std::string& folder)
{
    FolderAddition counts;
    const fs::path top = platform::PathFromUtf8(folder);
    std::vector<platform::DirEntry> probe;
    if (const int err = platform::ListDirectory(top, probe)) ThrowFileError("read the folder", folder, err);
    std::vector<std::string> files;
    FolderWalk{counts, files}.walk(platform::Utf8Of(top.lexically_normal()), 0);
    std::sort(files.begin(), files.end(),
              [](const std::string& a, const std::string& b) { return AsciiLower(a) < AsciiLower(b); });
    const size_t before = Files.size();
    AddFiles(files);
    counts.added = Files.size() - before;
    counts.listed = files.size() - counts.added;
    return counts;
}

std::string FolderAddition::Text(const std::string& folder) const
{
    auto count = [](size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = added == 0 ? "No file was added from " + folder + "."
                                  : "Added " + count(added, "file", "files") + " from " + folder + ".";
    std::vector<std::string> left;
    if (hidden) left.push_back(count(hidden, "hidden file or folder", "hidden files or folders"));
    if (listFiles) left.push_back(count(listFiles, "list file", "list files"));
    if (archives) left.push_back(count(archives, "archive", "archives"));
    if (unlistable)
        left.push_back(count(unlistable, "file or folder whose name holds a control character",
                             "files or folders whose names hold control characters"));
    if (!left.empty()) {
        text += "\nLeft out ";
        for (size_t i = 0; i < left.size(); ++i)
            text += (i == 0 ? "" : i + 1 == left.size() ? " and " : ", ") + left[i];
        text += ".";
    }
    if (listed) text += "\n" + count(listed, "file was", "files were") + " listed already.";
    if (unreadable) text += "\n" + count(unreadable, "folder", "folders") + " below could not be read.";
    return text;
}

void Project::RemoveFiles(std::vector<int> selected)
{
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        const int i = *it;
        if (i < 0 || size_t(i) >= Files.size()) continue;
        const std::string entry = Files[size_t(i)];
        if (extensionOf(entry) == ".mis" && !hasDirPart(entry))
            if (const int n = MissNumber(entry); n && n <= MissCount) RemoveMission(n);
        if (entry == FMInfo.InfoFile) {
            FMInfo.InfoFile.clear();
            FMInfo.InfoRank = 0;
        }
        Files.erase(Files.begin() + i);
        listChanged_ = true;
    }
    CurMiss = 0;
}

SelectionView Project::Select(const std::vector<int>& selected)
{
    SelectionView view;
    CurMiss = 0;
    if (selected.size() == 1 && selected[0] >= 0 && size_t(selected[0]) < Files.size()) {
        const std::string& entry = Files[size_t(selected[0])];
        const std::string ext = extensionOf(entry);
        if (ext == ".mis" && !hasDirPart(entry)) {
            if (const int n = MissNumber(entry)) {
                if (n > MissCount) AddMission(n);
                CurMiss = n;
                view.showMissBox = true;
            }
        } else {
            view.showInfoButton = ext == ".txt" || ext == ".rtf";
        }
        view.removeEnabled = true;
    } else {
        view.removeEnabled = !selected.empty();
    }
    return view;
}

void Project::InfoFileSaved(const std::string& fullPath)
{
    const std::string entry = RelativeEntry(platform::PathFromUtf8(FMInfo.FMDir), platform::PathFromUtf8(fullPath));
    if (entry == FMInfo.InfoFile) return;
    if (!listHolds(Files, entry)) {
        Files.push_back(entry);
        listChanged_ = true;
    }
    const int rank = InfoFileRank(entry, FMInfo.ShortName.Text());
    if (rank > FMInfo.InfoRank) {
        FMInfo.InfoFile = entry;
        FMInfo.InfoRank = rank;
    }
}

bool Project::EnsureTitleFile(int lang)
{
    if (lang < 0 || lang >= LangCount || !FMInfo.TitleFiles[size_t(lang)].empty()) return false;
    const std::string path = StringsDir() + LangDirs[size_t(lang)] + "titles.str";
    FMInfo.TitleFiles[size_t(lang)] = path;
    Files.push_back(path);
    listChanged_ = true;
    // The file may be there all the same (New lists the first language's
    // only, a list may leave it out): its names are read, or the next write
    // would put the project language's names in their place.
    ReadTitles(path, lang, false);
    return true;
}

bool Project::SetFMName(const std::string& text)
{
    if (ViewLang < 0 || ViewLang >= LangCount) return false;
    const bool added = EnsureTitleFile(ViewLang); // before the typed name, which it must not replace
    FMInfo.Names[size_t(ViewLang)] = FileText::FromUser(text);
    namesChanged_ = true;
    return added;
}

bool Project::SetMissName(bool shortName, const std::string& text)
{
    if (CurMiss == 0 || CurMiss > MissCount || ViewLang < 0 || ViewLang >= LangCount) return false;
    const bool added = EnsureTitleFile(ViewLang);
    TMissInfo& m = Missions[size_t(CurMiss)];
    (shortName ? m.ShortNames : m.LongNames)[size_t(ViewLang)] = FileText::FromUser(text);
    namesChanged_ = true;
    return added;
}

void Project::SetShortName(const std::string& text)
{
    FMInfo.ShortName = FileText::FromUser(text);
    namesChanged_ = true;
    shortNameFromList_ = false;
}

void Project::SetMissFlag(int tag, bool checked)
{
    if (CurMiss == 0 || CurMiss > MissCount || tag < 0 || tag > 7) return;
    const auto bit = TMissFlags(1u << tag);
    TMissInfo& m = Missions[size_t(CurMiss)];
    const TMissFlags before = m.Flags;
    if (checked) m.Flags |= bit;
    else
        m.Flags &= TMissFlags(~bit);
    if (m.Flags != before) namesChanged_ = true;
}

std::pair<std::string, std::string> Project::InfoMissionTexts() const
{
    const int first = FMInfo.FirstMiss, last = FMInfo.LastMiss;
    const size_t lang = size_t(std::clamp(FMInfo.Language, 0, LangCount - 1));
    std::string names, files;
    if (first == last) {
        if (first >= 1 && first <= MissCount) {
            names = Missions[size_t(first)].LongNames[lang].Text();
            files = missFileName(first);
        }
        return {names, files};
    }
    if (first < 1 || first > MissCount) return {names, files};
    // A mission without a name adds none: no ", , " and no line that
    // starts with a comma.
    auto addName = [&](const std::string& name) {
        if (!name.empty()) names += (names.empty() ? "" : ", ") + name;
    };
    addName(Missions[size_t(first)].ShortNames[lang].Text());
    files = missFileName(first);
    const TMissInfo* cur = &Missions[size_t(first)];
    int n = first;
    for (;;) {
        if (n == last || (cur->Flags & mfEnd)) break;
        n = cur->Next > n ? cur->Next : n + 1;
        if (n > MissCount) break;
        cur = &Missions[size_t(n)];
        if (!(cur->Flags & mfSkip)) {
            addName(cur->ShortNames[lang].Text());
            files += ", " + missFileName(n);
        }
    }
    return {names, files};
}

} // namespace lw
