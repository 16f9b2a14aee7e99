// The one project the program holds: the project record, the mission table
// and its chain, and the file list, with every command that changes them.
// The main window only shows this state and forwards the user's actions.
#pragma once

#include "core/fm/CreateFMRules.h"
#include "core/fm/FMUtils.h"
#include "core/fm/FileText.h"
#include "core/fm/MissionTable.h"
#include "core/fm/Release.h"
#include "core/questions/FolderOptions.h"
#include "core/text/CfgFiles.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class FolderCache;
class Questions;

struct TFMInfo {
    std::string FMDir; // absolute, ends with "/"; empty before the first project
    int Game = 0;
    int Language = 0;
    FileText ShortName;
    LocalText Names;
    int FirstMiss = 0;
    int LastMiss = 0;
    std::string MissFlagFile;
    LocalString TitleFiles;
    std::string InfoFile;
    int InfoRank = 0;
};

// What Add Folder did, for the author to be told.
struct FolderAddition {
    size_t added = 0;
    size_t listed = 0;     // files the list held already
    size_t hidden = 0;     // hidden files, and hidden folders (not looked into)
    size_t listFiles = 0;  // .lst
    size_t archives = 0;   // .zip, .7z, .rar
    size_t unlistable = 0; // names with a line break or another control character, which no list holds
    size_t unreadable = 0; // folders below that could not be read
    // "Added 12 files from C:\fm\obj.\nLeft out 2 hidden files or folders and 1 archive."
    std::string Text(const std::string& folder) const;
};

// What selecting entries of the file list shows.
struct SelectionView {
    bool showMissBox = false;
    bool showInfoButton = false;
    bool removeEnabled = false;
};

inline constexpr const char* FilesNotFoundMessage = "The files in this mission list can't be found";
inline constexpr const char* MissFolderTitle = "Where Is This Mission?";
inline constexpr const char* MissFolderText = "Please select the directory where this mission's files are.";
// File-system folders with a status line, but not the path in it.
inline constexpr FolderOptions MissFolderOptions{FolderOption::FileSysDirsOnly, FolderOption::StatusText,
                                                 FolderOption::SyncCustomButton, FolderOption::AlignCustomButton,
                                                 FolderOption::ParentCenter};
// A name that its titles file's code page cannot hold.
struct NameProblem {
    int lang = 0;
    std::string file; // the titles file, as listed
    std::string message;
};

inline constexpr const char* SaveChangesText = "Save changes to the mission list?";

// What a list line holding a NUL is told with.
inline constexpr const char* NulLineText = "holds a NUL character, which no file name can hold";
// Followed by the refused entries, one a line, as ShownEntry gives them.
inline constexpr const char* NulEntryMessage =
    "These listed paths hold a NUL character, which no file name can hold; they were left out:";

class Project {
public:
    Project();

    TFMInfo FMInfo;
    std::vector<TMissInfo> Missions; // slots 0..MissCount
    int MissCount = 0;
    int CurMiss = 0;
    int ViewLang = -1;
    std::vector<std::string> Files; // the file list
    FMRelease Release;              // fm.ini
    // The list file opened or saved last; empty for a project made by New.
    std::string ListFile;
    // The lines of the opened list that name no file (they hold a NUL); the
    // list the project holds leaves them out.
    struct RefusedLine {
        int line = 0;      // from 1
        std::string shown; // as ShownEntry gives it
    };
    std::vector<RefusedLine> RefusedLines;
    // The string files as this project read them: a write over what another
    // program changed since is asked about first.
    ReadStamps StringFileStamps;

    // Edits (names, flags, files, the release) that neither a Save nor the
    // string files' writing has kept yet.
    bool HasUnsavedChanges() const { return namesChanged_ || listChanged_ || Release.unsaved; }
    // The game the author names (--game), taken over every other sign; -1
    // when none is named.
    int ToldGame = -1;
    // The game's folder as the author names it (--game-dir, the window's
    // setting); empty: looked for at the FM folder and above it.
    std::string GameDir;

    // The mission table and its string files.
    void SetMissCount(int count);
    void ClearMissions();
    void AddMission(int n);
    void RemoveMission(int n);
    void ReadMissFlags();
    // The names of lang's missions in play; with readFMKeys also the FM's
    // name and short name, without it the FM's name only where the project
    // has none in lang.
    void ReadTitles(const std::string& path, int lang, bool readFMKeys);
    // confirm: asked before writing over a file another program changed
    // since it was read; without it, that throws Error naming the file.
    // false when confirm said No and the file was left as it is.
    bool WriteMissFlags(const std::string& fullPath, const ConfirmOverwrite& confirm = {});
    // Throws Error, writing nothing, for a name the file's code page lacks.
    bool WriteTitles(const std::string& fullPath, int lang, const ConfirmOverwrite& confirm = {});
    // The code page of a language's titles file, as it is or would be made.
    int TitleCodePage(int lang) const;
    // The names that the code pages of their titles files cannot hold.
    std::vector<NameProblem> UnwritableNames() const;
    // Why text cannot be a name in lang's titles file, or in every titles
    // file when lang is -1 (the short name); empty when it can.
    std::string NameRefusal(const std::string& text, int lang) const;
    // The missions in play, in play order, from FirstMiss.
    std::vector<int> Chain() const;
    bool InPlay(int n) const { return n >= 1 && n <= MissCount && !(Missions[size_t(n)].Flags & mfSkip); }

    // New: fill the project from the new fan mission dialog's entries.
    void New(const CreateEntries& entries);
    // What Open does with a listed file that is not there (or is no file).
    enum class MissingFiles {
        Ask,  // ask once where the FM is, then fail: the window's Open
        Keep, // keep the entry as listed and ask nothing, for the check to report
    };
    // Open: rebuild the project from a list file; false when it failed (the
    // file list is then empty). Throws Error when the list cannot be read.
    // folders, when given, keeps the folders read for what comes next in
    // the same run (a check, at once), which then reads none of them again.
    bool Open(const std::string& listFile, Questions& questions, FolderCache* folders = nullptr,
              MissingFiles missing = MissingFiles::Ask);
    // Save and Zip write the string files first: none when a name cannot
    // be written (Error), each only when a value in it changed.
    void WriteStringFiles(const ConfirmOverwrite& confirm = {});
    void SaveListFile(const std::string& path);
    void AddFiles(const std::vector<std::string>& paths);
    // Adds every file below folder that the list lacks, in name order, as
    // AddFiles does; leaves out hidden files and folders, list files and
    // archives, and does not follow folder links. Throws Error when the
    // folder cannot be read.
    FolderAddition AddFolder(const std::string& folder);
    void RemoveFiles(std::vector<int> selected);
    SelectionView Select(const std::vector<int>& selected);
    // A file the editor has saved joins the list (and may become the info file).
    void InfoFileSaved(const std::string& fullPath);

    // The edits of the main window. Each returns true when the file list
    // grew (a titles file joined it).
    bool SetFMName(const std::string& text);
    bool SetMissName(bool shortName, const std::string& text);
    void SetShortName(const std::string& text);
    void SetMissFlag(int tag, bool checked);
    // Lists lang's titles file when the project has none, reading the names
    // a file of that path holds already.
    bool EnsureTitleFile(int lang);

    // The level names and mission file names of the chain, as Info lists them.
    std::pair<std::string, std::string> InfoMissionTexts() const;

    // Where a listed path lies on this file system.
    std::string FullPath(const std::string& entry) const;
    std::string StringsDir() const;

private:
    TMissFlags readFlagsOf(TCfgFile& file, int n);
    // A language's name as its titles file gets it: its own, else the
    // project language's.
    const FileText& titleFor(const LocalText& names, int lang) const;

    bool namesChanged_ = false, listChanged_ = false;
    // The short name is the list file's name, which no titles file holds
    // and the author did not type: it names the archive, but is not added
    // to a titles file that lacks one.
    bool shortNameFromList_ = false;
};

// A listed path fit for a message: each NUL shown as "\0".
std::string ShownEntry(std::string_view entry);

// Removes the characters an FM short name must not hold; true when any was.
bool CleanShortName(std::string& text);

} // namespace lw
