#include "core/fm/UserLang.h"

#include <array>
#include <cstdlib>

namespace lw {

std::string LangTagFromLocaleName(const std::string& locale)
{
    if (locale.empty() || locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0) return {};
    size_t n = 0;
    while (n < locale.size() && locale[n] >= 'a' && locale[n] <= 'z') ++n;
    if (n != 2) return {};
    if (n < locale.size() && locale[n] != '_' && locale[n] != '.' && locale[n] != '@' && locale[n] != '-') return {};
    return locale.substr(0, 2);
}

namespace {

// Windows primary language identifiers 0..101 with their ISO 639-1 codes;
// identifiers without such a code are empty.
constexpr std::array<const char*, 102> kPrimaryLang = {
    "",   "ar", "bg", "ca", "zh", "cs", "da", "de", "el", "en", // 0
    "es", "fi", "fr", "he", "hu", "is", "it", "ja", "ko", "nl", // 10
    "no", "pl", "pt", "",   "ro", "ru", "sr", "sk", "sq", "sv", // 20
    "th", "tr", "ur", "id", "uk", "be", "sl", "et", "lv", "lt", // 30
    "",   "fa", "vi", "hy", "az", "eu", "",   "mk", "",   "",   // 40
    "",   "",   "",   "",   "af", "ka", "fo", "hi", "",   "",   // 50
    "",   "",   "ms", "kk", "ky", "sw", "",   "uz", "tt", "bn", // 60
    "pa", "gu", "or", "ta", "te", "kn", "ml", "as", "mr", "sa", // 70
    "mn", "",   "",   "",   "",   "",   "gl", "",   "",   "sd", // 80
    "",   "",   "",   "",   "",   "",   "ks", "ne", "",   "",   // 90
    "",   "dv",                                                 // 100
};

} // namespace

std::string LangTagFromLangId(const std::string& hexId)
{
    if (hexId.empty() || hexId.size() > 8) return {};
    unsigned long value = 0;
    for (char c : hexId) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return {};
        value = value * 16 + unsigned(d);
    }
    const unsigned primary = value & 0x3FF;
    if (primary == 0 || primary >= kPrimaryLang.size()) return {};
    return kPrimaryLang[primary];
}

std::string LangTagFromEnvironment(const std::function<const char*(const char*)>& getEnv)
{
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getEnv(var);
        if (value && *value) return LangTagFromLocaleName(value);
    }
    return {};
}

} // namespace lw
