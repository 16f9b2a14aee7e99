// An in-memory model of one key/value string file (the games' titles.str and
// missflag.str). Every line is kept as it stood, comments and blank lines
// included, and a file is written only when a value in it changed: then the
// changed lines are written anew and every other byte stays as it was. Keys
// and values are the file's own bytes; converting them is the caller's
// business (StringFileCodePage says which code page they are in).
//
// Beside it, what a program needs to write such a file back safely: the
// stamps of the files it read, so that a file another program changed
// meanwhile is not written over unasked.
#pragma once

#include "base/FileIO.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class TCfgFile {
public:
    // Reads the file at once; a missing file reads as empty. Throws Error
    // when the file exists but cannot be read. fileName is UTF-8 text.
    TCfgFile(std::string fileName, std::string separators, std::string quotes, std::string comments,
             bool slashComments);
    // The setting every string file of the games uses.
    static TCfgFile StringFile(const std::string& fileName);

    TCfgFile(const TCfgFile&) = delete;
    TCfgFile& operator=(const TCfgFile&) = delete;

    void Load(const std::string& fileName);
    void Save();

    std::string ReadString(const std::string& key, const std::string& def);
    bool HasKey(const std::string& key);
    // A value equal to the one the file holds changes nothing.
    void WriteString(const std::string& key, const std::string& value);
    void DeleteKey(const std::string& key);

    bool Deferred() const { return deferred_; }
    void SetDeferred(bool value);
    bool Modified() const { return modified_; }
    const std::string& FileName() const { return fileName_; }
    // The file as it was when last read or written.
    const FileStamp& Stamp() const { return fileAge_; }
    // The file starts with a UTF-8 byte-order mark, which the keys do not
    // include and a save keeps.
    bool ByteOrderMark() const { return bom_; }

    struct Entry {
        std::string key;   // empty for comment, blank and keyless lines
        std::string value; // of a keyless line: the line as it stood
        // The line as the file holds it, without its line end, and that end
        // ("\r\n", "\n", "\r", or nothing for a last line without one).
        std::string raw;
        std::string eol;
        // Where the value starts and ends in raw; npos for a key without a
        // separator (and for entries not read from the file).
        size_t valueAt = std::string::npos, valueEnd = std::string::npos;
        bool edited = false; // written anew by the next save
    };
    const std::vector<Entry>& Lines() const { return lines_; }

    // String files are small; anything larger is not one.
    static constexpr uint64_t MaxFileSize = 64ull << 20;

private:
    void checkStamp();
    Entry* find(const std::string& key);
    std::string valueText(const std::string& value) const;
    std::string lineOf(const Entry& e) const;

    std::string fileName_;
    FileStamp fileAge_;
    std::vector<Entry> lines_;
    std::string eol_ = "\r\n"; // the file's own line end, for lines it gains
    std::string tail_;         // from a Ctrl-Z that ends the file on, kept as it was
    bool bom_ = false;
    bool appended_ = false; // keys were added since the last save
    bool blankEnd_ = false; // ... since the file was read: it ends with a blank line
    std::string separators_, quotes_, comments_;
    bool slashComments_ = false;
    bool deferred_ = false;
    bool modified_ = false;
};

// The code page a string file's names are kept in: UTF-8 when the file
// starts with a byte-order mark; otherwise its language folder decides:
// Windows-1250 for "polish", "czech" and "hungarian", Windows-1251 for
// "russian", and code page 850 for every other (the game's own). path may
// be a listed path or a full one, with either separator.
int StringFileCodePage(std::string_view path, bool byteOrderMark);
// The same for a file on disk, looking at its first bytes (a missing file
// has no mark).
int StringFileCodePageOf(const std::string& fullPath);
// "code page 850", "Windows-1250", "UTF-8"
std::string CodePageName(int codePage);

// The stamps of the files a project read, so that writing one back can
// tell that another program (a second instance, a text editor) changed it
// since: its older values would otherwise silently replace the newer ones.
class ReadStamps {
public:
    // The first reading counts: a later one (of a mission added since)
    // must not hide a change made before it.
    void Read(const std::string& path, const FileStamp& stamp);
    // Our own write: what the file is now.
    void Wrote(const std::string& path, const FileStamp& stamp);
    // Whether the file, stamped now, is no longer what was read of it. A
    // file never read counts as unchanged: nothing of it was taken.
    bool ChangedSince(const std::string& path, const FileStamp& now) const;
    void Clear() { stamps_.clear(); }

private:
    std::map<std::string, FileStamp> stamps_;
};

// Asked before writing over a file that another program changed since it
// was read (the argument names the file); true writes it.
using ConfirmOverwrite = std::function<bool(const std::string& file)>;

// "... was changed by another program since Lanternwright read it."
std::string ChangedOnDiskText(const std::string& file);

// Writes the changes made to file (deferred until now), if it has any. When
// another program changed the file since stamps says it was read, confirm
// decides: false leaves the file as it is (the changes are dropped) and
// the result is false; without confirm that throws Error naming the file.
// shownName names the file in the question and the error.
bool WriteBack(TCfgFile& file, ReadStamps& stamps, const ConfirmOverwrite& confirm, const std::string& shownName);

} // namespace lw
