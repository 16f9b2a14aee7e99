#include "core/fm/FMUtils.h"

#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "platform/File.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace lw {

const std::array<const char*, GameCount> GameLabels = {"Thief 1", "Thief 2", "Thief 2x"};
const std::array<const char*, GameCount> GameNames = {"Thief: The Dark Project", "Thief 2: The Metal Age",
                                                      "Thief2x - Shadows of the Metal Age"};
const std::array<const char*, GameCount> GameStringDirs = {"strings\\", "strings\\", "t2x\\strings\\"};
const std::array<const char*, LangCount> LangDirs = {"english\\", "french\\", "german\\", "italian\\", "spanish\\"};
const std::array<const char*, LangCount> LangNames = {"English",
                                                      "Fran\xC3\xA7"
                                                      "ais",
                                                      "Deutsch", "Italiano", "Espa\xC3\xB1ol"};

namespace {
std::string g_userLangTag;
}

const std::string& UserLangTag()
{
    return g_userLangTag;
}
void SetUserLangTag(std::string tag)
{
    g_userLangTag = std::move(tag);
}

int DetectGame(const std::string& dirText)
{
    const fs::path dir = platform::PathFromUtf8(dirText);
    if (FileExistsAt(dir, "thief2.exe")) return FileExistsAt(dir, "t2x\\t2x.gam") ? GameThief2x : GameThief2;
    if (FileExistsAt(dir, "thief.exe")) return GameThief1;
    return -1;
}

int MissNumber(std::string_view name)
{
    if (!StartsWithNoCase(name, "miss")) return 0;
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || !EqualsNoCase(name.substr(dot), ".mis")) return 0;
    if (name.size() < 8 || dot != name.size() - 4) return 0;
    const std::string_view digits = name.substr(4, name.size() - 8);
    if (digits.empty() || digits.size() > 9) return 0;
    long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > MaxMissionNumber) return 0;
    return int(value);
}

TMissFlags ParseMissFlags(std::string_view text)
{
    TMissFlags flags = 0;
    if (text.empty()) return flags;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string token =
            AsciiLower(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (token == "skip") return mfSkip;
        if (token == "no_briefing") flags |= mfNoBriefing;
        else if (token == "no_loadout")
            flags |= mfNoLoadout;
        else if (token == "cutscene")
            flags |= mfCutscene;
        else if (token == "end")
            flags |= mfEnd;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return flags;
}

std::string FormatMissFlags(TMissFlags flags)
{
    if (flags & mfSkip) return "skip";
    std::string out;
    auto add = [&](TMissFlags f, const char* word) {
        if (!(flags & f)) return;
        if (!out.empty()) out += ',';
        out += word;
    };
    add(mfNoBriefing, "no_briefing");
    add(mfNoLoadout, "no_loadout");
    add(mfCutscene, "cutscene");
    add(mfEnd, "end");
    return out;
}

void FindStringFile(const std::string& dirText, const std::string& subDir, const std::string& fileName,
                    std::string& relPath, int& lang)
{
    const fs::path dir = platform::PathFromUtf8(dirText);
    relPath = subDir + fileName;
    if (FileExistsAt(dir, relPath)) {
        lang = -1;
        return;
    }
    for (int i = 0; i < LangCount; ++i) {
        relPath = subDir + LangDirs[i] + fileName;
        if (FileExistsAt(dir, relPath)) {
            lang = i;
            return;
        }
    }
    relPath.clear();
}

bool IsStringFilePath(const std::string& subDir, std::string_view relPath, int& lang)
{
    lang = -1;
    const size_t bs = relPath.rfind('\\');
    const std::string dirPart =
        AsciiLower(bs == std::string_view::npos ? std::string_view() : relPath.substr(0, bs + 1));
    if (dirPart == subDir) return true;
    if (dirPart.empty()) return false;
    const std::string_view rest = std::string_view(dirPart).substr(0, dirPart.size() - 1);
    const size_t bs2 = rest.rfind('\\');
    const std::string_view parent = bs2 == std::string_view::npos ? std::string_view() : rest.substr(0, bs2 + 1);
    if (parent != subDir) return false;
    const std::string last = std::string(rest.substr(parent.size())) + "\\";
    for (int i = 0; i < LangCount; ++i) {
        if (last == LangDirs[i]) {
            lang = i;
            return true;
        }
    }
    return false;
}

bool WildcardMatch(std::string_view p, std::string_view s)
{
    size_t pi = 0, si = 0, starP = std::string_view::npos, starS = 0;
    const auto low = [](char c) { return AsciiLower(c); };
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || low(p[pi]) == low(s[si]))) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starS = si;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

std::string FindInfoFile(const std::string& dir, const std::string& shortName)
{
    // Directory listings come in no particular order here; sorting keeps the
    // choice the same from run to run.
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(platform::PathFromUtf8(dir), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = platform::Utf8Of(it->path().filename());
        if (name.empty() || name[0] == '.') continue;
        if (!IsRegularFile(it->path())) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return AsciiLower(a) < AsciiLower(b); });

    std::vector<std::string> patterns = {"fminfo-??.*", "fminfo.*"};
    if (!shortName.empty()) {
        patterns.push_back(shortName + "-??.*");
        patterns.push_back(shortName + ".*");
    }
    for (const std::string& pattern : patterns) {
        for (const std::string& name : names) {
            if (!WildcardMatch(pattern, name)) continue;
            const size_t dot = name.rfind('.');
            const std::string ext = AsciiLower(dot == std::string::npos ? std::string() : name.substr(dot));
            if (ext == ".txt" || ext == ".wri" || ext == ".rtf") return name;
        }
    }
    return {};
}

int InfoFileRank(std::string_view name, std::string_view shortName)
{
    // Loaders read the info file from the FM's top folder only.
    if (name.find_first_of("\\/") != std::string_view::npos) return 0;
    const size_t dot = name.rfind('.');
    const std::string ext = AsciiLower(dot == std::string_view::npos ? std::string_view() : name.substr(dot));
    int rank;
    if (ext == ".rtf") rank = 96;
    else if (ext == ".wri")
        rank = 64;
    else if (ext == ".txt")
        rank = 16;
    else
        return 0;
    const std::string base = AsciiLower(name.substr(0, dot));
    std::string stem;
    if (base.rfind("fminfo", 0) == 0) {
        stem = "fminfo";
        rank += 32768;
    } else if (!shortName.empty() && StartsWithNoCase(base, shortName)) {
        stem = AsciiLower(shortName);
        rank += 8192;
    } else if (base.rfind("readme", 0) != 0) {
        return 0; // a changelog or notes of the author's, no info file
    } else if (const size_t dash = base.rfind('-'); dash != std::string::npos) {
        stem = base.substr(0, dash);
    } else {
        return rank;
    }
    if (base == stem) rank += 512;
    else if (!UserLangTag().empty() && base == stem + "-" + UserLangTag())
        rank += 2048;
    return rank;
}

} // namespace lw
