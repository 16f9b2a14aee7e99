#include "core/fm/Packaging.h"

#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/ShareOut.h"
#include "base/StrUtils.h"
#include "core/check/LoaderRules.h"
#include "core/check/Preflight.h"
#include "core/fm/FMIni.h"
#include "core/fm/Project.h"
#include "core/questions/NoQuestions.h"
#include "core/zip/ZipArch.h"
#include "core/zip/ZipDirectory.h"
#include "core/zip/ZipMessages.h"
#include "platform/Directory.h"
#include "platform/File.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>

namespace fs = std::filesystem;

namespace lw {

namespace {

// An empty run turns AddUpdate into AddFreshen for good; each run starts
// from the program's options again.
const AddOpts kFMAddOptions = {AddDirNames, AddUpdate, AddZipTime, AddHiddenFiles};

} // namespace

void ConfigureFMZipper(TZipArchiver& z)
{
    // The program's own texts for the component's numbered messages.
    z.OnZipStr = [](TZipArchiver*, int id, std::string& text) {
        if (text.empty()) text = ZipMessageText(id);
    };
    z.SetAddCompLevel(9);
    z.SetAddOptions(kFMAddOptions);
    z.SetAddStoreSuffixes(DefaultStoreSuffixes());
    z.SetHowToDelete(htdFinal);
    z.SetUnattended(false);
    z.SetVerbose(false);
    z.SetTrace(false);
    z.SetSpanOptions({});
    z.SetKeepFreeOnDisk1(0);
    z.SetKeepFreeOnAllDisks(0);
}

std::string PackResult::NotesText() const
{
    std::string text;
    for (const std::string& n : notes) text += (text.empty() ? "" : "\n") + n;
    return text;
}

namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The names our runs give the temporary archives of the file targetName:
// ".NAME.1234abcd.part" while the engine writes it, and the engine's own
// ".NAME.1234abcd.part.x1y2z3" where it cannot write without a name.
bool isTemporaryOf(std::string_view name, std::string_view targetName)
{
    const std::string_view ours = ".part";
    if (name.size() < targetName.size() + 2 + 8 + ours.size() || name[0] != '.' ||
        name.substr(1, targetName.size()) != targetName || name[1 + targetName.size()] != '.')
        return false;
    name.remove_prefix(targetName.size() + 2);
    for (size_t i = 0; i < 8; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    name.remove_prefix(8);
    if (name.substr(0, ours.size()) != ours) return false;
    name.remove_prefix(ours.size());
    if (name.empty()) return true;
    if (name.size() != 7 || name[0] != '.') return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

// A run killed midway leaves its temporary archive (where the system gives
// no unnamed files, or between its last two steps); the next run for the
// same archive removes those that no run holds any more.
void removeStaleTemporaries(const fs::path& target)
{
    const std::string targetName = platform::Utf8Of(target.filename());
    std::vector<platform::DirEntry> entries;
    if (platform::ListDirectory(target.parent_path(), entries) != 0) return;
    for (const platform::DirEntry& e : entries)
        if (e.kind == platform::EntryKind::File && !e.link && isTemporaryOf(e.name, targetName))
            platform::RemoveUnlessOpen(target.parent_path() / platform::PathFromUtf8(e.name));
}

bool sameFile(const platform::FileInfo& a, const platform::FileInfo& b)
{
    return a.exists && b.exists && a.index != 0 && a.volume == b.volume && a.index == b.index;
}

// Two paths of one file, or of where one would be made, as the disk would
// take them: the same file, or the same text without regard to case.
bool samePlace(const fs::path& a, const platform::FileInfo& aInfo, const fs::path& b)
{
    const platform::FileInfo bInfo = platform::InfoOf(b);
    if (aInfo.exists && bInfo.exists) return sameFile(aInfo, bInfo);
    std::error_code ec;
    const fs::path an = fs::absolute(a, ec).lexically_normal(), bn = fs::absolute(b, ec).lexically_normal();
    return EqualsNoCase(platform::Utf8Of(an), platform::Utf8Of(bn));
}

bool isZipArchive(const fs::path& p, const platform::FileInfo& info)
{
    platform::File f;
    if (f.OpenRead(p) != 0) return false;
    try {
        ZipDirectory dir;
        ReadZipDirectory(f, info.size, dir, ZipDirOptions{});
        return true;
    } catch (...) {
        return false;
    }
}

// Loaders without fm.ini take the release date from the time of the info
// file's entry, or else the mission's: with a release date, the info file
// and the string files (made at packing) carry it.
std::vector<int64_t> releaseTimes(const Project& project)
{
    const auto release = ReleaseTime(project);
    if (!release) return {};
    const TFMInfo& fm = project.FMInfo;
    std::vector<int64_t> times(project.Files.size(), 0);
    for (size_t i = 0; i < times.size(); ++i) {
        const std::string& f = project.Files[i];
        auto is = [&](const std::string& path) { return !path.empty() && EqualsNoCase(f, path); };
        if (is(fm.InfoFile) || is(fm.MissFlagFile) || std::any_of(fm.TitleFiles.begin(), fm.TitleFiles.end(), is))
            times[i] = *release;
    }
    return times;
}

// Why what (the archive, the list) cannot replace target (as info says it
// is): it is the list file (unless what is the list), a string file,
// fm.ini or a listed file. Empty when it is none of them.
std::string fmFileAt(const Project& project, const fs::path& target, const platform::FileInfo& info,
                     FolderCache* folders, const std::string& what)
{
    const std::string replaced = ", which the " + what + " would replace.";
    if (!project.ListFile.empty() && samePlace(target, info, platform::PathFromUtf8(project.ListFile)))
        return what == "list" ? std::string() : "it is the FM's list file" + replaced;
    const TFMInfo& fm = project.FMInfo;
    std::vector<std::string> stringFiles;
    if (!fm.MissFlagFile.empty()) stringFiles.push_back(fm.MissFlagFile);
    for (const std::string& t : fm.TitleFiles)
        if (!t.empty()) stringFiles.push_back(t);
    for (const std::string& entry : stringFiles)
        if (samePlace(target, info, platform::PathFromUtf8(project.FullPath(entry))))
            return "it is the string file \"" + entry + "\"" + replaced;
    // Loaders read fm.ini, and a later run would write its keys into the
    // archive standing there: it is a file the run writes, made or not.
    if (samePlace(target, info, ResolvePath(platform::PathFromUtf8(fm.FMDir), FMIniName)))
        return std::string("it is the FM's \"") + FMIniName + "\"" + replaced;
    // A listed file it is: where nothing exists yet, one listed by that path
    // (a file still missing); else the same file, found by any name or link.
    const fs::path fmDir = platform::PathFromUtf8(fm.FMDir);
    const std::vector<std::string>& files = project.Files;
    std::vector<char> same(files.size(), 0);
    std::atomic<bool> lookedAtAll = true;
    if (!info.exists) {
        const std::string targetText = platform::Utf8Of(target);
        for (size_t i = 0; i < files.size(); ++i)
            same[i] = EqualsNoCase(
                platform::Utf8Of((fmDir / platform::PathFromUtf8(ToSlashes(files[i]))).lexically_normal()), targetText);
    } else {
        FolderCache ownFolders;
        FolderCache& shared = folders ? *folders : ownFolders;
        ShareOut(files.size(), PartsFor(files.size()), [&](size_t from, size_t to) {
            try {
                PathIndex index(shared);
                for (size_t i = from; i < to; ++i) {
                    platform::FileInfo listed;
                    try {
                        index.Locate(fmDir, files[i], listed);
                    } catch (const std::exception&) {
                        continue; // a path no file can have
                    }
                    same[i] = sameFile(info, listed);
                }
            } catch (...) { // none may leave a thread
                lookedAtAll = false;
            }
        });
    }
    // A file not looked at could be the one that would be replaced.
    if (!lookedAtAll) return "the listed files could not all be looked at.";
    for (size_t i = 0; i < files.size(); ++i)
        if (same[i]) return "it is the listed file \"" + files[i] + "\"" + replaced;
    return {};
}

} // namespace

std::string ArchivePathRefusal(const Project& project, const std::string& zipPath, FolderCache* folders)
{
    std::error_code ec;
    const fs::path target = fs::absolute(platform::PathFromUtf8(zipPath), ec).lexically_normal();
    const platform::FileInfo info = platform::InfoOf(target);
    const std::string cannot = "The archive cannot be written to \"" + zipPath + "\": ";
    if (const std::string why = fmFileAt(project, target, info, folders, "archive"); !why.empty()) return cannot + why;
    if (info.exists && info.isDirectory) return cannot + "it is a folder.";
    if (info.exists && !isZipArchive(target, info))
        return cannot + "a file of that name exists and is not a zip archive, so it is not replaced.";
    return {};
}

std::string ListPathRefusal(const Project& project, const std::string& listPath)
{
    std::error_code ec;
    const fs::path target = fs::absolute(platform::PathFromUtf8(listPath), ec).lexically_normal();
    const platform::FileInfo info = platform::InfoOf(target);
    if (const std::string why = fmFileAt(project, target, info, nullptr, "list"); !why.empty())
        return "The list cannot be saved as \"" + listPath + "\": " + why;
    return {};
}

std::string DefaultArchivePath(const Project& project)
{
    // The short name is cleaned as it was read, and once more here: the
    // archive stays in the FM directory whatever name it is given.
    std::string name = project.FMInfo.ShortName.Text();
    CleanShortName(name);
    if (name.empty() || name == "." || name == "..") name = FileBaseName(project.ListFile);
    CleanShortName(name);
    if (name.empty() || name == "." || name == "..") name = "fm";
    return platform::Utf8Of(platform::PathFromUtf8(project.FMInfo.FMDir) / platform::PathFromUtf8(name + ".zip"));
}

PackResult PackProject(TZipArchiver& z, const Project& project, const std::string& zipPath)
{
    PackResult result;
    if (project.Files.empty()) {
        result.reason = "There is nothing to pack: the file list is empty.";
        return result;
    }
    result.reason = ArchivePathRefusal(project, zipPath);
    if (!result.reason.empty()) return result;
    // The engine would update an archive that exists; a name that does not
    // exist yet makes it write a new one.
    const fs::path target = platform::PathFromUtf8(zipPath);
    removeStaleTemporaries(fs::absolute(target));
    std::random_device rd;
    fs::path temp;
    do {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.part", unsigned(rd()));
        std::string name(".");
        name.append(platform::Utf8Of(target.filename())).append(suffix);
        temp = target.parent_path() / platform::PathFromUtf8(name);
    } while (fs::exists(temp));
    const std::string tempName = platform::Utf8Of(temp), targetName = platform::Utf8Of(target);

    // Messages without an error code are the engine's remarks (a file left
    // out); with Verbose off nothing else comes that way.
    std::vector<std::string> remarks;
    struct Restore {
        TZipArchiver& z;
        decltype(z.OnMessage) onMessage;
        bool unattended;
        ~Restore()
        {
            z.OnMessage = std::move(onMessage);
            z.SetUnattended(unattended);
        }
    } restore{z, z.OnMessage, z.Unattended()};
    z.OnMessage = [&](TZipArchiver* sender, int code, const std::string& text) {
        if (code == 0) remarks.push_back(text);
        if (restore.onMessage) restore.onMessage(sender, code, text);
    };
    z.SetUnattended(true);

    z.FSpecArgs().clear();
    z.SetAddOptions(kFMAddOptions);
    z.SetLiteralSpecs(true);
    z.SetZipFileName(tempName);
    z.SetFinalZipName(targetName);
    z.SetRootDir(project.FMInfo.FMDir);
    z.SetFSpecArgs(project.Files);
    z.SetFSpecTimes(releaseTimes(project));
    remarks.clear();
    z.AddToArchive();
    z.SetFinalZipName({});
    z.SetFSpecTimes({});
    for (std::string& r : remarks) replaceAll(r, tempName, targetName);

    std::error_code ec;
    if (z.ErrCode() != 0 || !fs::is_regular_file(temp, ec)) {
        fs::remove(temp, ec);
        result.reason = z.ErrCode() != 0 ? z.Message() : "The archive could not be made.";
        replaceAll(result.reason, tempName, targetName);
        for (const std::string& r : remarks)
            if (r != z.Message() && r.find(" is not added: ") != std::string::npos) result.reason += " (" + r + ")";
        return result;
    }
    if (const int err = ReplaceWith(temp, target)) {
        fs::remove(temp, ec);
        result.reason = "Cannot write \"" + targetName + "\": " + std::strerror(err);
        return result;
    }
    result.made = true;
    result.notes = std::move(remarks);
    return result;
}

std::string SizeText(uint64_t n, char decimalPoint)
{
    char buf[64];
    if (n < 512) {
        std::snprintf(buf, sizeof buf, "%lluB", static_cast<unsigned long long>(n));
        return buf;
    }
    double v = double(n) / 1024;
    const char* unit = "KB";
    if (v >= 512) {
        v /= 1024;
        unit = "MB";
        if (v >= 512) {
            v /= 1024;
            unit = "GB";
        }
    }
    std::snprintf(buf, sizeof buf, "%.2f%s", v, unit);
    std::string s = buf;
    if (const size_t dot = s.find('.'); dot != std::string::npos) s[dot] = decimalPoint;
    return s;
}

namespace {

std::string oneLine(std::string s)
{
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

} // namespace

bool OpenForCommandLine(Project& project, const std::string& listFile, std::ostream& err, FolderCache& folders,
                        const GameChoice& game)
{
    project.ToldGame = game.game;
    project.GameDir.clear();
    if (!game.dir.empty()) {
        const fs::path dir = fs::absolute(platform::PathFromUtf8(game.dir));
        if (!IsDirectory(dir)) {
            err << "lanternwright: the game folder " << game.dir << " is not there\n";
            return false;
        }
        project.GameDir = platform::Utf8Of(dir);
    }
    NoQuestions none;
    const fs::path list = fs::absolute(platform::PathFromUtf8(listFile));
    // A listed file that is not there is a finding of the check, named
    // with all the others.
    if (project.Open(platform::Utf8Of(list), none, &folders, Project::MissingFiles::Keep)) return true;
    if (none.askedGame)
        err << "lanternwright: cannot tell the game of " << listFile
            << ": neither the list, the directory nor the missions tell it (--game names it)\n";
    else
        err << "lanternwright: " << listFile << ": "
            << (none.lastMessage.empty() ? std::string("cannot be opened") : oneLine(none.lastMessage)) << "\n";
    return false;
}

int RunCheck(const std::string& listFile, bool json, std::ostream& out, std::ostream& err, const GameChoice& game)
{
    Project project;
    std::vector<Finding> findings;
    try {
        // The check follows the open at once: the folders are read once for both.
        FolderCache folders;
        if (!OpenForCommandLine(project, listFile, err, folders, game)) return 2;
        findings = CheckProject(project, &folders);
    } catch (const std::exception& e) {
        err << "lanternwright: " << oneLine(e.what()) << "\n";
        return 2;
    }
    for (const Finding& f : findings) out << oneLine(json ? FindingJson(f) : FindingLine(f)) << "\n";
    out.flush();
    if (!out) { // a full disk or a closed pipe: the findings are lost, so the check did not happen
        err << "lanternwright: the findings could not be written\n";
        return 2;
    }
    // Beside the findings, so that a clean check says so too.
    err << "lanternwright: " << listFile << ": " << FindingsSummary(findings) << "\n";
    return CountOf(findings, Severity::Error) > 0 ? 1 : 0;
}

int RunPack(const std::string& listFile, const std::string& output, std::ostream& out, std::ostream& err,
            bool showProgress, bool force, const GameChoice& game)
{
    Project project;
    std::string zipPath;
    try {
        // The check follows the open at once: the folders are read once for both.
        FolderCache folders;
        if (!OpenForCommandLine(project, listFile, err, folders, game)) return 1;
        // A line the list cannot hold would leave its file out of the
        // package and its mission out of the flag file: never packed.
        if (!project.RefusedLines.empty()) {
            for (const Project::RefusedLine& r : project.RefusedLines)
                err << "lanternwright: " << listFile << ": line " << r.line << " (" << oneLine(r.shown) << ") "
                    << NulLineText << "\n";
            return 1;
        }
        // A package with errors would not install or play as meant: it is
        // made only when the author insists.
        const std::vector<Finding> findings = CheckProject(project, &folders);
        const int errors = CountOf(findings, Severity::Error);
        // A file that cannot be packed as listed stops the run even so.
        const int stopping = int(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
            return f.severity == Severity::Error && f.stopsPacking;
        }));
        if (errors > 0 && (!force || stopping > 0)) {
            for (const Finding& f : findings)
                if (f.severity == Severity::Error && (!force || f.stopsPacking)) err << oneLine(FindingLine(f)) << "\n";
            err << "lanternwright: the check found " << errors << (errors == 1 ? " error" : " errors");
            if (stopping == 0) err << "; --force packs anyway\n";
            else
                err << "; " << (stopping == 1 ? "one names a file" : std::to_string(stopping) + " name files")
                    << " that cannot be packed as listed, even with --force\n";
            return 1;
        }
        // Nothing is written before the archive's place is known to be fit.
        zipPath = output.empty() ? DefaultArchivePath(project) : output;
        zipPath = platform::Utf8Of(fs::absolute(platform::PathFromUtf8(zipPath)));
        if (const std::string refusal = ArchivePathRefusal(project, zipPath, &folders); !refusal.empty()) {
            err << "lanternwright: " << oneLine(refusal) << "\n";
            return 1;
        }
        if (const auto named = ArchiveNameFinding(zipPath)) err << oneLine(FindingLine(*named)) << "\n";
        project.WriteStringFiles();
        WriteRelease(project, true);
    } catch (const std::exception& e) {
        err << "lanternwright: " << oneLine(e.what()) << "\n";
        return 1;
    }

    TZipArchiver z;
    ConfigureFMZipper(z);
    z.SetUnattended(true);
    uint64_t total = 0, done = 0;
    int files = 0, fileNo = 0;
    std::string current;
    int lastShown = -1;
    auto draw = [&] {
        const int pct = TZipArchiver::Percent(done, total);
        if (pct == lastShown) return;
        lastShown = pct;
        err << "\r[" << std::string(size_t(pct / 4), '#') << std::string(size_t(25 - pct / 4), ' ') << "] " << pct
            << "% " << fileNo << "/" << files << " " << current.substr(0, 40) << "\x1b[K" << std::flush;
    };
    z.OnProgress = [&](TZipArchiver*, ProgressType kind, const std::string& name, uint64_t size) {
        switch (kind) {
        case ptBatchFileCount: files = int(size); break;
        case ptBatchByteCount:
            total = size;
            done = 0;
            break;
        case ptItemStart:
            ++fileNo;
            current = name;
            break;
        case ptItemBytes: done += size; break;
        default: break;
        }
        if (showProgress) draw();
    };
    try {
        const PackResult result = PackProject(z, project, zipPath);
        if (showProgress) err << "\r\x1b[K" << std::flush;
        if (!result) {
            err << "lanternwright: " << oneLine(result.reason) << "\n";
            return 1;
        }
        out << zipPath << ": " << z.SuccessCnt() << " files, "
            << SizeText(fs::file_size(platform::PathFromUtf8(zipPath)));
        for (const std::string& note : result.notes) out << "; " << oneLine(note);
        out << "\n";
    } catch (const std::exception& e) {
        err << "lanternwright: " << oneLine(e.what()) << "\n";
        return 1;
    }
    return 0;
}

} // namespace lw
