// An in-memory model of one key/value string file (the games' titles.str and
// missflag.str). Every line is kept, comments and blank lines included, so a
// file read and written back changes only what was changed. Keys and values
// are the file's own bytes; converting them is the caller's business.
#pragma once

#include "base/FileIO.h"

#include <string>
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
    void WriteString(const std::string& key, const std::string& value);
    void DeleteKey(const std::string& key);

    bool Deferred() const { return deferred_; }
    void SetDeferred(bool value);
    bool Modified() const { return modified_; }
    const std::string& FileName() const { return fileName_; }

    struct Entry {
        std::string key;   // empty for comment, blank and keyless lines
        std::string value; // of a keyless line: the line as it stood
    };
    const std::vector<Entry>& Lines() const { return lines_; }

    // String files are small; anything larger is not one.
    static constexpr uint64_t MaxFileSize = 64ull << 20;

private:
    void checkStamp();
    Entry* find(const std::string& key);

    std::string fileName_;
    FileStamp fileAge_;
    std::vector<Entry> lines_;
    std::string separators_, quotes_, comments_;
    bool slashComments_ = false;
    bool deferred_ = false;
    bool modified_ = false;
};

} // namespace lw
