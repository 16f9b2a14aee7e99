#include "base/StrUtils.h"

#include <array>
#include <cstdint>

namespace lw {

int CharsPos(std::string_view text, std::string_view chars)
{
    for (size_t i = 0; i < text.size(); ++i)
        if (chars.find(text[i]) != std::string_view::npos) return int(i) + 1;
    return 0;
}

std::string QuoteStr(std::string_view text, char q)
{
    std::string out;
    out.reserve(text.size() + 2);
    if (q) out += q;
    for (char c : text) {
        if (c == '\0') break;
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    if (q) out += q;
    return out;
}

std::string UnquoteStr(std::string_view text, char q)
{
    std::string out;
    if (text.empty()) return out;
    const bool quoted = q && text.front() == q;
    std::string_view rest = quoted ? text.substr(1) : text;
    for (;;) {
        const size_t bs = rest.find('\\');
        if (bs == std::string_view::npos) break;
        out.append(rest.substr(0, bs));
        rest.remove_prefix(bs + 1);
        if (rest.empty()) break;
        const char c = rest.front();
        rest.remove_prefix(1);
        switch (c) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\n': break;
        case '\r':
            if (!rest.empty() && rest.front() == '\n') rest.remove_prefix(1);
            break;
        default: out += c;
        }
    }
    if (quoted) {
        const size_t end = rest.find(q);
        out.append(rest.substr(0, end));
    } else {
        out.append(rest);
    }
    return out;
}

std::string FileBaseName(std::string_view path)
{
    const size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string ToBackslashes(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string ToSlashes(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

std::string TrimControl(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<uint8_t>(text[b]) <= 0x20) ++b;
    while (e > b && static_cast<uint8_t>(text[e - 1]) <= 0x20) --e;
    return std::string(text.substr(b, e - b));
}

uint64_t FoldedHash(std::string_view text)
{
    uint64_t h = 14695981039346656037ull;
    for (const char c : text) {
        h ^= uint8_t(AsciiLower(c));
        h *= 1099511628211ull;
    }
    return h;
}

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string FilterDefaultExt(std::string_view pattern)
{
    pattern = pattern.substr(0, pattern.find(';'));
    const size_t dot = pattern.find('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view ext = pattern.substr(dot + 1);
    return ext == "*" ? std::string() : std::string(ext);
}

int FilterIndexFor(std::string_view filter, std::string_view fileName)
{
    const size_t slash = fileName.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = name.rfind('.');
    const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    int any = -1, index = 0;
    size_t at = 0;
    while (at <= filter.size()) {
        const size_t bar = filter.find('|', at);
        if (bar == std::string_view::npos) break;
        const size_t end = std::min(filter.find('|', bar + 1), filter.size());
        std::string_view patterns = filter.substr(bar + 1, end - bar - 1);
        while (!patterns.empty()) {
            const std::string_view pattern = patterns.substr(0, patterns.find(';'));
            patterns.remove_prefix(std::min(pattern.size() + 1, patterns.size()));
            if (pattern == "*.*" || pattern == "*") {
                if (any < 0) any = index;
            } else if (pattern.size() > 2 && pattern.substr(0, 2) == "*." && !ext.empty() &&
                       EqualsNoCase(pattern.substr(2), ext))
                return index;
        }
        ++index;
        at = end + 1;
    }
    return ext.empty() || any < 0 ? 0 : any;
}

} // namespace lw
