// Packing the project into one zip archive: the settings the program gives
// the zip archiver, the run itself, byte counts for people, and the
// command-line packer for authors who script their builds.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace lw {

class FolderCache;
class Project;
class TZipArchiver;

// The program's message texts, level 9, directory names kept, update, archive time from the newest
// file, hidden files, the default store suffixes, final deletion.
void ConfigureFMZipper(TZipArchiver& zipper);

// What a packing run came to, for the author to be told.
struct PackResult {
    bool made = false;
    std::string reason;             // why no archive was made
    std::vector<std::string> notes; // what the author should know of a run that worked
    explicit operator bool() const { return made; }
    std::string NotesText() const; // the notes, one per line
};

// Packs every listed file, in list order, under its path relative to the FM
// directory; the listed names are file names as they stand (no wildcards).
// The archive is made anew: it is written under a temporary name and
// renamed over zipPath only when complete, so a failed or cancelled run
// leaves an earlier archive as it was. An earlier archive that is itself
// listed is never packed into the new one; a zipPath ArchivePathRefusal
// refuses makes nothing. Temporary archives that earlier runs for zipPath
// left behind (killed midway) are removed first. The component shows no message
// boxes of its own meanwhile: the result says why a run made nothing.
PackResult PackProject(TZipArchiver& zipper, const Project& project, const std::string& zipPath);

// Why zipPath cannot take the archive: it is a listed file, the list file
// or a string file the packing writes (each of which it would replace), a
// folder, or a file that exists and is not a zip archive. Empty when it
// can; the text names the file. folders: what the run read of the folders
// already.
std::string ArchivePathRefusal(const Project& project, const std::string& zipPath, FolderCache* folders = nullptr);

// Why the list cannot be saved as listPath: it is a string file or a file
// the list names, other than the list file itself (which may be listed).
// Empty when it can; the text names the file.
std::string ListPathRefusal(const Project& project, const std::string& listPath);

// The short name with ".zip" in the FM directory, the short name cleaned
// as a typed one is, so the archive never lands outside that directory.
std::string DefaultArchivePath(const Project& project);

// "511B", "0.50KB", "0.95MB", "1.20GB": each step divides by 1024 once the
// value reaches 512.
std::string SizeText(uint64_t bytes, char decimalPoint = '.');

// What the author says of the game on the command line.
struct GameChoice {
    int game = -1;   // --game: GameThief1, GameThief2 or GameThief2x; -1 when not said
    std::string dir; // --game-dir: the game's folder, where its .crf archives are found
};

// lanternwright --pack LISTFILE [--output ZIPFILE] [--force]: 0 on success,
// else a one-line reason on err and a non-zero result. The FM is checked
// first; errors stop the run (each on a line of err) unless force is set,
// and those that name files Zip cannot pack as listed stop it even then.
int RunPack(const std::string& listFile, const std::string& output, std::ostream& out, std::ostream& err,
            bool showProgress, bool force = false, const GameChoice& game = {});

// lanternwright --check LISTFILE [--json]: one finding a line (a JSON object
// a line with json), then a one-line summary on err; 0 without errors, 1
// with errors, 2 when the list cannot be read, the game folder named is not
// there, or the findings cannot be written.
int RunCheck(const std::string& listFile, bool json, std::ostream& out, std::ostream& err, const GameChoice& game = {});

// Opens a list file without asking anything, keeping listed files that are
// not there for the check to name; false after writing the reason to err.
// folders keeps the folders read for the check that follows.
bool OpenForCommandLine(Project& project, const std::string& listFile, std::ostream& err, FolderCache& folders,
                        const GameChoice& game = {});

} // namespace lw
