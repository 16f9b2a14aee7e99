#include "platform/Locale.h"

#include "core/fm/InfoTemplate.h"
#include "core/fm/UserLang.h"

#include <cstdlib>
#include <ctime>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <string_view>

namespace lw::platform {

namespace {

std::string toUtf8(const std::string& text, const char* codeset)
{
    if (codeset == nullptr || std::string_view(codeset) == "UTF-8") return text;
    iconv_t cd = iconv_open("UTF-8", codeset);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return {};
    out.resize(out.size() - outLeft);
    return out;
}

bool isPlainCLocale(std::string_view name)
{
    return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

} // namespace

std::string UserLangTag()
{
    return LangTagFromEnvironment([](const char* v) { return std::getenv(v); });
}

// The weekday and month names come from the C library's locale; the order
// of the parts from the program's own table of patterns, as POSIX locales
// keep no long date pattern. A name without a code set ("de_DE") may exist
// only with one ("de_DE.UTF-8"), so that is tried too.
std::string LongDateIn(const std::string& localeName, int year, int month, int day, int weekday)
{
    if (isPlainCLocale(localeName)) return {};
    locale_t loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, localeName.c_str(), nullptr);
    if (loc == nullptr && localeName.find('.') == std::string::npos) {
        std::string withSet = localeName;
        const auto at = withSet.find('@');
        withSet.insert(at == std::string::npos ? withSet.size() : at, ".UTF-8");
        loc = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, withSet.c_str(), nullptr);
    }
    if (loc == nullptr) return {};

    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_wday = weekday;
    char buf[128];
    const char* codeset = nl_langinfo_l(CODESET, loc);
    size_t n = strftime_l(buf, sizeof buf, "%A", &tm, loc);
    const std::string weekdayName = toUtf8(std::string(buf, n), codeset);
    n = strftime_l(buf, sizeof buf, "%B", &tm, loc);
    const std::string monthName = toUtf8(std::string(buf, n), codeset);
    freelocale(loc);
    if (weekdayName.empty() || monthName.empty()) return {};
    return FormatLongDate(LongDatePattern(localeName), {year, month, day}, weekdayName, monthName);
}

std::string UserLongDate(int year, int month, int day, int weekday)
{
    return LongDateIn(UserTimeLocaleName(), year, month, day, weekday);
}

} // namespace lw::platform
