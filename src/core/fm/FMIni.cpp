#include "core/fm/FMIni.h"

#include "base/StrUtils.h"
#include "core/text/TextCodec.h"
#include "platform/Time.h"

#include <algorithm>
#include <ctime>

namespace lw {

namespace {

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The key of a "Key=Value" line, trimmed; none for comments and lines
// without "=".
std::optional<std::string_view> keyOf(std::string_view line)
{
    const std::string_view t = trimBlanks(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return trimBlanks(t.substr(0, eq));
}

// The items of text between commas, trimmed, without empty ones. Only
// commas part them: a ";" typed into the dialog is refused there, not
// taken for a separator.
std::vector<std::string_view> commaItems(std::string_view text)
{
    std::vector<std::string_view> items;
    size_t from = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ',') continue;
        const std::string_view v = trimBlanks(text.substr(from, i - from));
        if (!v.empty()) items.push_back(v);
        from = i + 1;
    }
    return items;
}

// Days from 1970-01-01 to a day of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

FMIniFile FMIniFile::Parse(std::string bytes)
{
    FMIniFile f;
    f.bytes_ = std::move(bytes);
    std::string_view rest(f.bytes_);
    std::string text;
    if (rest.substr(0, 2) == "\xFF\xFE" || rest.substr(0, 2) == "\xFE\xFF") {
        f.utf16_ = true;
        text = DecodePlainText(rest);
        rest = text;
    } else if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
        f.bom_ = true;
        rest.remove_prefix(3);
    }
    while (!rest.empty()) {
        const size_t end = rest.find_first_of("\r\n");
        f.lines_.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        const size_t next = end + (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n' ? 2 : 1);
        rest.remove_prefix(next);
    }
    return f;
}

std::optional<std::string> FMIniFile::Value(std::string_view key) const
{
    for (const std::string& line : lines_) {
        const auto k = keyOf(line);
        if (!k || !EqualsNoCase(*k, key)) continue;
        const std::string_view t = trimBlanks(line);
        return std::string(trimBlanks(t.substr(t.find('=') + 1)));
    }
    return std::nullopt;
}

std::string FMIniFile::With(const std::vector<Change>& changes) const
{
    if (changes.empty()) return bytes_;
    std::vector<std::optional<std::string>> lines(lines_.begin(), lines_.end()); // none: taken out
    for (const Change& c : changes) {
        auto it = std::find_if(lines.begin(), lines.end(), [&](const std::optional<std::string>& l) {
            if (!l) return false;
            const auto k = keyOf(*l);
            return k && EqualsNoCase(*k, c.key);
        });
        if (it == lines.end()) {
            if (c.value) lines.push_back(c.key + "=" + *c.value);
        } else if (!c.value) {
            it->reset();
        } else {
            *it = std::string(*keyOf(**it)) + "=" + *c.value;
        }
    }
    std::string out;
    for (const auto& l : lines)
        if (l) out += *l + "\r\n";
    return out;
}

std::string HexTime(int64_t t)
{
    static const char digits[] = "0123456789ABCDEF";
    auto u = static_cast<uint64_t>(t);
    std::string out;
    do {
        out.insert(out.begin(), digits[u & 0xF]);
        u >>= 4;
    } while (u != 0);
    return out;
}

std::optional<int64_t> ParseHexTime(std::string_view text)
{
    if (text.empty() || text.size() > 16) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return std::nullopt;
        v = (v << 4) | uint64_t(d);
    }
    return static_cast<int64_t>(v);
}

int64_t ReleaseTimeOfDay(int year, int month, int day)
{
    return daysFromCivil(year, month, day) * 86400 + 12 * 3600;
}

void DayOfReleaseTime(int64_t t, int& year, int& month, int& day)
{
    int64_t z = (t >= 0 ? t : t - 86399) / 86400 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

int64_t TodaysReleaseTime()
{
    const std::tm now = platform::LocalTime(std::time(nullptr));
    return ReleaseTimeOfDay(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
}

std::string EscapeDescr(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\\n";
            break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

std::string UnescapeDescr(std::string_view value)
{
    // Quotes around the whole value go, unless the last one is escaped.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        size_t slashes = 0;
        for (size_t i = value.size() - 1; i > 1 && value[i - 1] == '\\'; --i) ++slashes;
        if (slashes % 2 == 0) value = value.substr(1, value.size() - 2);
    }
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char e = value[i + 1];
        switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '"':
        case '\\': out += e; break;
        case 'r':
            out += '\n';
            if (value.substr(i + 2, 2) == "\\n") i += 2;
            break;
        default: out += value.substr(i, 2); break;
        }
        ++i;
    }
    return out;
}

size_t Utf8Length(std::string_view text)
{
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::vector<std::string> SplitTags(std::string_view value)
{
    std::vector<std::string> tags;
    size_t from = 0;
    for (size_t i = 0; i <= value.size(); ++i) {
        if (i < value.size() && value[i] != ',' && value[i] != ';') continue;
        const std::string_view tag = trimBlanks(value.substr(from, i - from));
        if (!tag.empty()) tags.emplace_back(tag);
        from = i + 1;
    }
    return tags;
}

std::string JoinTags(const std::vector<std::string>& tags)
{
    std::string out;
    for (const std::string& t : tags) out += (out.empty() ? "" : ",") + t;
    return out;
}

bool SameTags(std::vector<std::string> a, std::vector<std::string> b)
{
    for (auto* v : {&a, &b}) {
        for (std::string& t : *v) t = AsciiLower(t);
        std::sort(v->begin(), v->end());
    }
    return a == b;
}

const std::vector<TagCategory> TagCategories = {
    {"author", {}},
    {"contest", {}},
    {"genre", {"action", "crime", "horror", "mystery", "puzzle"}},
    {"language",
     {"English", "Czech", "Dutch", "French", "German", "Hungarian", "Italian", "Japanese", "Polish", "Russian",
      "Spanish"}},
    {"series", {}},
};

const std::vector<const char*> PlainTags = {"campaign", "demo", "long", "other protagonist", "short", "unknown author"};

std::string TagCategoryOf(std::string_view tag)
{
    const size_t colon = tag.find(':');
    return colon == std::string_view::npos ? std::string() : AsciiLower(trimBlanks(tag.substr(0, colon)));
}

bool IsKnownTag(std::string_view tag)
{
    if (tag.find(':') != std::string_view::npos) {
        const std::string category = TagCategoryOf(tag);
        return std::any_of(TagCategories.begin(), TagCategories.end(),
                           [&](const TagCategory& c) { return category == c.name; });
    }
    return std::any_of(PlainTags.begin(), PlainTags.end(),
                       [&](const char* t) { return EqualsNoCase(trimBlanks(tag), t); });
}

std::string CleanTagText(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (ForbiddenTagChars.find(c) == std::string_view::npos) out += c;
    return std::string(trimBlanks(out));
}

TagSheet SortTags(const std::vector<std::string>& tags)
{
    TagSheet sheet;
    for (const TagCategory& c : TagCategories)
        if (c.presets.empty()) sheet.freeText.emplace_back(c.name, "");
    auto presetOf = [](const std::vector<const char*>& presets, std::string_view value) -> const char* {
        for (const char* t : presets)
            if (EqualsNoCase(value, t)) return t;
        return nullptr;
    };
    for (const std::string& tag : tags) {
        const std::string category = TagCategoryOf(tag);
        const auto c = std::find_if(TagCategories.begin(), TagCategories.end(),
                                    [&](const TagCategory& k) { return category == k.name; });
        if (category.empty()) {
            if (const char* t = presetOf(PlainTags, trimBlanks(tag))) {
                sheet.checked.emplace_back(t);
                continue;
            }
        } else if (c != TagCategories.end()) {
            const std::string_view value = trimBlanks(std::string_view(tag).substr(tag.find(':') + 1));
            if (c->presets.empty()) {
                for (auto& [name, text] : sheet.freeText)
                    if (name == category && !value.empty()) text += (text.empty() ? "" : ", ") + std::string(value);
                continue;
            }
            if (const char* t = presetOf(c->presets, value)) {
                sheet.checked.push_back(category + ":" + t);
                continue;
            }
        }
        sheet.other += (sheet.other.empty() ? "" : ", ") + tag;
    }
    return sheet;
}

std::optional<std::vector<std::string>> TagsOf(const TagSheet& sheet, std::string* badField)
{
    auto fits = [](std::string_view text) { return text.find_first_of(ForbiddenTagChars) == std::string_view::npos; };
    auto bad = [&](const std::string& field) {
        if (badField) *badField = field;
        return std::nullopt;
    };
    std::vector<std::string> tags;
    auto isChecked = [&](const std::string& t) {
        return std::any_of(sheet.checked.begin(), sheet.checked.end(),
                           [&](const std::string& c) { return EqualsNoCase(c, t); });
    };
    for (const TagCategory& c : TagCategories) {
        for (const char* t : c.presets)
            if (isChecked(std::string(c.name) + ":" + t)) tags.push_back(std::string(c.name) + ":" + t);
        for (const auto& [name, text] : sheet.freeText) {
            if (name != c.name) continue;
            for (const std::string_view v : commaItems(text)) {
                if (!fits(v)) return bad(name);
                tags.push_back(name + ":" + std::string(v));
            }
        }
    }
    for (const char* t : PlainTags)
        if (isChecked(t)) tags.push_back(t);
    for (const std::string_view tag : commaItems(sheet.other)) {
        const size_t colon = tag.find(':');
        const std::string_view category = colon == std::string_view::npos ? std::string_view() : tag.substr(0, colon);
        const std::string_view value = colon == std::string_view::npos ? tag : tag.substr(colon + 1);
        if (!fits(category) || !fits(value) || trimBlanks(value).empty()) return bad("other");
        tags.emplace_back(tag);
    }
    return tags;
}

bool DescrFits(std::string_view text)
{
    return Utf8Length(EscapeDescr(text)) <= MaxDescrLength;
}

} // namespace lw
