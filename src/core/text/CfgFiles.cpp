#include "core/text/CfgFiles.h"

#include "base/StrUtils.h"

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
    if (!stamp.exists) {
        lines_.clear();
        fileAge_ = stamp;
        fileName_ = fileName;
        modified_ = false;
        return;
    }
    const std::string data = ReadWholeFile(file, MaxFileSize);
    lines_.clear();

    auto addLine = [&](std::string_view raw) {
        const std::string line = TrimControl(raw);
        if (line.empty()) {
            lines_.push_back({});
            return;
        }
        if ((slashComments_ && line.size() >= 2 && line[0] == '/' && line[1] == '/') ||
            (!comments_.empty() && comments_.find(line[0]) != std::string::npos)) {
            lines_.push_back({{}, line});
            return;
        }
        const int p = CharsPos(line, separators_.empty() ? std::string_view(" \t") : separators_);
        Entry e;
        if (p > 0) {
            e.key = TrimControl(std::string_view(line).substr(0, size_t(p - 1)));
            e.value = TrimControl(std::string_view(line).substr(size_t(p)));
        } else {
            e.key = line;
        }
        if (e.key.empty()) {
            // A value without a key means nothing to the games or to us;
            // rewriting it (its unquoted value holds line breaks, say) could
            // make lines that were never there, so it goes back as it came.
            lines_.push_back({{}, std::string(raw)});
            return;
        }
        if (!quotes_.empty() && !e.value.empty() && quotes_.find(e.value[0]) != std::string::npos)
            e.value = UnquoteStr(e.value, e.value[0]);
        lines_.push_back(std::move(e));
    };

    // A line ends at CR (with an LF after it) or at a lone LF: files kept in
    // version control often have LF-only line ends, and reading them as one
    // line would lose every key but the first on the next write.
    size_t start = 0, i = 0;
    const size_t n = data.size();
    bool ended = false;
    while (i < n) {
        const char c = data[i];
        if (c == '\x1A') {
            // The DOS end-of-file mark is no line of its own.
            if (i > start) addLine(std::string_view(data).substr(start, i - start));
            ended = true;
            break;
        }
        if (c == '\r' || c == '\n') {
            addLine(std::string_view(data).substr(start, i - start));
            if (c == '\r' && i + 1 < n && data[i + 1] == '\n') ++i;
            start = ++i;
            continue;
        }
        ++i;
    }
    if (!ended && start < n) addLine(std::string_view(data).substr(start));

    fileAge_ = StampOf(file);
    fileName_ = fileName;
    modified_ = false;
}

void TCfgFile::Save()
{
    const char s = separators_.empty() ? ' ' : separators_[0];
    const char q = quotes_.empty() ? '\0' : quotes_[0];
    std::string out;
    bool lastBlank = true;
    for (const Entry& e : lines_) {
        if (!e.key.empty()) {
            out += e.key;
            out += s;
            out += q ? QuoteStr(e.value, q) : e.value;
            lastBlank = false;
        } else {
            out += e.value;
            lastBlank = e.value.empty();
        }
        out += "\r\n";
    }
    if (!lastBlank) out += "\r\n";
    const std::filesystem::path file = platform::PathFromUtf8(fileName_);
    WriteFileAtomic(file, out);
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

void TCfgFile::WriteString(const std::string& key, const std::string& value)
{
    if (fileName_.empty()) return;
    checkStamp();
    if (Entry* e = find(key)) e->value = value;
    else
        lines_.push_back({key, value});
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

} // namespace lw
