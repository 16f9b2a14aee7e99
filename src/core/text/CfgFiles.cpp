#include "core/text/CfgFiles.h"

#include "base/Errors.h"
#include "base/StrUtils.h"
#include "core/text/TextCodec.h"

#include "platform/File.h"

#include <filesystem>

namespace lw {

TCfgFile::TCfgFile(std::string fileName, std::string separators, std::string quotes, std::string comments,
                   bool slashComments)
    : separators_(std::move(separators)), quotes_(std::move(quotes)), comments_(std::move(comments)),
      slashComments_(slashComments)
{
    Load(fileName);
}

TCfgFile TCfgFile::StringFile(const std::string& fileName)
{
    return TCfgFile(fileName, ":", "\"", ";", true);
}

void TCfgFile::Load(const std::string& fileName)
{
    const std::filesystem::path file = platform::PathFromUtf8(fileName);
    const FileStamp stamp = StampOf(file);
    // A pipe or a device in a string file's place reads as none: reading
    // it might never end (the check names it). A folder still fails below,
    // naming itself.
    if (!stamp.exists || (!IsRegularFile(file) && !IsDirectory(file))) {
        lines_.clear();
        tail_.clear();
        bom_ = appended_ = blankEnd_ = false;
        eol_ = "\r\n";
        fileAge_ = stamp;
        fileName_ = fileName;
        modified_ = false;
        return;
    }
    std::string data = ReadWholeFile(file, MaxFileSize);
    lines_.clear();
    tail_.clear();
    appended_ = blankEnd_ = false;
    eol_.clear();
    bom_ = data.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const size_t begin = bom_ ? 3 : 0;

    auto addLine = [&](std::string_view raw, std::string_view eol) {
        if (eol_.empty() && !eol.empty()) eol_ = eol;
        Entry e;
        e.raw = raw;
        e.eol = eol;
        const std::string line = TrimControl(raw);
        if (line.empty()) {
            lines_.push_back(std::move(e));
            return;
        }
        if ((slashComments_ && line.size() >= 2 && line[0] == '/' && line[1] == '/') ||
            (!comments_.empty() && comments_.find(line[0]) != std::string::npos)) {
            e.value = line;
            lines_.push_back(std::move(e));
            return;
        }
        const int p = CharsPos(line, separators_.empty() ? std::string_view(" \t") : separators_);
        const size_t lead = raw.find(line); // the trimmed line within raw
        if (p > 0) {
            e.key = TrimControl(std::string_view(line).substr(0, size_t(p - 1)));
            const std::string_view rest = std::string_view(line).substr(size_t(p));
            e.value = TrimControl(rest);
            if (!e.value.empty()) e.valueAt = lead + size_t(p) + rest.find(e.value);
            else
                e.valueAt = lead + line.size();
            e.valueEnd = lead + line.size();
        } else {
            e.key = line;
        }
        if (e.key.empty()) {
            // A value without a key means nothing to the games or to us;
            // rewriting it (its unquoted value holds line breaks, say) could
            // make lines that were never there, so it goes back as it came.
            e.value = e.raw;
            lines_.push_back(std::move(e));
            return;
        }
        if (!quotes_.empty() && !e.value.empty() && quotes_.find(e.value[0]) != std::string::npos)
            e.value = UnquoteStr(e.value, e.value[0]);
        lines_.push_back(std::move(e));
    };

    // A line ends at CR (with an LF after it) or at a lone LF: files kept in
    // version control often have LF-only line ends, and reading them as one
    // line would lose every key but the first on the next write.
    const std::string_view text(data);
    size_t start = begin, i = begin;
    const size_t n = text.size();
    bool ended = false;
    while (i < n) {
        const char c = text[i];
        if (c == '\x1A') {
            // The DOS end-of-file mark is no line of its own; it and what
            // follows it stay as they are.
            if (i > start) addLine(text.substr(start, i - start), {});
            tail_ = text.substr(i);
            ended = true;
            break;
        }
        if (c == '\r' || c == '\n') {
            const size_t eolLength = (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
            addLine(text.substr(start, i - start), text.substr(i, eolLength));
            i += eolLength;
            start = i;
            continue;
        }
        ++i;
    }
    if (!ended && start < n) addLine(text.substr(start), {});
    if (eol_.empty()) eol_ = "\r\n";

    fileAge_ = StampOf(file);
    fileName_ = fileName;
    modified_ = false;
}

std::string TCfgFile::valueText(const std::string& value) const
{
    return quotes_.empty() ? value : QuoteStr(value, quotes_[0]);
}

std::string TCfgFile::lineOf(const Entry& e) const
{
    if (!e.edited) return e.raw;
    const char s = separators_.empty() ? ' ' : separators_[0];
    const std::string value = valueText(e.value);
    // What stood around the value (the key's spelling, blanks) stays.
    if (e.valueAt != std::string::npos) return e.raw.substr(0, e.valueAt) + value + e.raw.substr(e.valueEnd);
    if (!e.raw.empty()) return e.raw + s + value; // a bare key
    return e.key + s + value;
}

void TCfgFile::Save()
{
    // A last line without an end gets one when lines follow it; a file that
    // gained keys ends with a blank line, as the games' own files do, so
    // the keys a later run adds stand apart.
    for (size_t i = 0; i + 1 < lines_.size(); ++i)
        if (lines_[i].eol.empty()) lines_[i].eol = eol_;
    if (appended_ && !lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = eol_;
    blankEnd_ = blankEnd_ || appended_;
    appended_ = false;
    std::string out = bom_ ? "\xEF\xBB\xBF" : "";
    for (const Entry& e : lines_) {
        out += lineOf(e);
        out += e.eol;
    }
    if (blankEnd_ && !lines_.empty() && !lines_.back().key.empty()) out += eol_;
    out += tail_;
    const std::filesystem::path file = platform::PathFromUtf8(fileName_);
    WriteFileAtomic(file, out);
    // What is on disk now is what the lines say.
    for (Entry& e : lines_) {
        if (!e.edited) continue;
        const size_t valueSize = valueText(e.value).size();
        e.raw = lineOf(e);
        if (e.valueAt == std::string::npos) e.valueAt = e.raw.size() - valueSize;
        e.valueEnd = e.valueAt + valueSize;
        e.edited = false;
    }
    fileAge_ = StampOf(file);
    modified_ = false;
}

void TCfgFile::checkStamp()
{
    if (StampOf(platform::PathFromUtf8(fileName_)) != fileAge_) Load(fileName_);
}

TCfgFile::Entry* TCfgFile::find(const std::string& key)
{
    for (Entry& e : lines_)
        if (!e.key.empty() && EqualsNoCase(e.key, key)) return &e;
    return nullptr;
}

std::string TCfgFile::ReadString(const std::string& key, const std::string& def)
{
    if (fileName_.empty()) return def;
    checkStamp();
    const Entry* e = find(key);
    return e ? e->value : def;
}

bool TCfgFile::HasKey(const std::string& key)
{
    if (fileName_.empty()) return false;
    checkStamp();
    return find(key) != nullptr;
}

void TCfgFile::WriteString(const std::string& key, const std::string& value)
{
    if (fileName_.empty()) return;
    checkStamp();
    if (Entry* e = find(key)) {
        if (e->value == value) return; // its line stays as it is
        e->value = value;
        e->edited = true;
    } else {
        Entry added;
        added.key = key;
        added.value = value;
        added.eol = eol_;
        added.edited = true;
        lines_.push_back(std::move(added));
        appended_ = true;
    }
    modified_ = true;
    if (!deferred_) Save();
}

void TCfgFile::DeleteKey(const std::string& key)
{
    if (fileName_.empty()) return;
    checkStamp();
    for (auto it = lines_.begin(); it != lines_.end(); ++it) {
        if (!it->key.empty() && EqualsNoCase(it->key, key)) {
            lines_.erase(it);
            modified_ = true;
            if (!deferred_) Save();
            return;
        }
    }
}

void TCfgFile::SetDeferred(bool value)
{
    if (value == deferred_) return;
    if (!value && !fileName_.empty() && modified_) Save();
    deferred_ = value;
}

int StringFileCodePage(std::string_view path, bool byteOrderMark)
{
    if (byteOrderMark) return Utf8CodePage;
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string_view::npos) return 850;
    const std::string_view dir = path.substr(0, cut);
    const size_t start = dir.find_last_of("\\/");
    const std::string_view folder = start == std::string_view::npos ? dir : dir.substr(start + 1);
    if (EqualsNoCase(folder, "polish") || EqualsNoCase(folder, "czech") || EqualsNoCase(folder, "hungarian"))
        return 1250;
    if (EqualsNoCase(folder, "russian")) return 1251;
    return 850;
}

int StringFileCodePageOf(const std::string& fullPath)
{
    platform::File f;
    char head[3] = {};
    size_t got = 0;
    const bool mark = f.OpenRead(platform::PathFromUtf8(fullPath)) == 0 && f.Read(head, sizeof head, got) == 0 &&
                      got == 3 && std::string_view(head, 3) == "\xEF\xBB\xBF";
    return StringFileCodePage(fullPath, mark);
}

std::string CodePageName(int codePage)
{
    if (codePage == Utf8CodePage) return "UTF-8";
    if (codePage >= 1250 && codePage <= 1258) return "Windows-" + std::to_string(codePage);
    return "code page " + std::to_string(codePage);
}

// Paths are resolved without regard to case: a file made since it was
// read, in another case than the path asked for, is the same file.
void ReadStamps::Read(const std::string& path, const FileStamp& stamp)
{
    stamps_.emplace(AsciiLower(path), stamp);
}

void ReadStamps::Wrote(const std::string& path, const FileStamp& stamp)
{
    stamps_[AsciiLower(path)] = stamp;
}

bool ReadStamps::ChangedSince(const std::string& path, const FileStamp& now) const
{
    const auto it = stamps_.find(AsciiLower(path));
    return it != stamps_.end() && it->second != now;
}

std::string ChangedOnDiskText(const std::string& file)
{
    return "\"" + file + "\" was changed by another program since Lanternwright read it.";
}

bool WriteBack(TCfgFile& file, ReadStamps& stamps, const ConfirmOverwrite& confirm, const std::string& shownName)
{
    if (!file.Modified()) {
        file.SetDeferred(false);
        return true;
    }
    if (stamps.ChangedSince(file.FileName(), file.Stamp())) {
        if (!confirm) throw Error(ChangedOnDiskText(shownName) + " Its changes are kept; nothing was written over it.");
        if (!confirm(shownName)) return false;
    }
    file.SetDeferred(false);
    stamps.Wrote(file.FileName(), file.Stamp());
    return true;
}

} // namespace lw
