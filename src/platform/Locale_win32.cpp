#include "platform/Locale.h"

#include "core/fm/UserLang.h"
#include "platform/Utf8.h"

#include <cstdio>
#include <string_view>

#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lw::platform {

namespace {

// "de_DE.UTF-8@euro" -> "de-DE"; "" for the C locale.
std::wstring windowsName(const std::string& localeName)
{
    std::string base = localeName.substr(0, localeName.find_first_of(".@"));
    if (base.empty() || base == "C" || base == "POSIX") return {};
    for (char& c : base)
        if (c == '_') c = '-';
    return WideOf(base);
}

// Windows' own long date pattern of the locale (DATE_LONGDATE), which is
// the one the user set where the locale is the user's.
std::string longDate(const wchar_t* locale, int year, int month, int day, int weekday)
{
    SYSTEMTIME st{};
    st.wYear = WORD(year);
    st.wMonth = WORD(month);
    st.wDay = WORD(day);
    st.wDayOfWeek = WORD(weekday);
    wchar_t buf[128];
    const int n = GetDateFormatEx(locale, DATE_LONGDATE, &st, nullptr, buf, 128, nullptr);
    if (n <= 1) return {};
    return Utf8Of(std::wstring_view(buf, size_t(n - 1)));
}

} // namespace

std::string UserLangTag()
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", unsigned(GetUserDefaultUILanguage()));
    return LangTagFromLangId(hex);
}

std::string LongDateIn(const std::string& localeName, int year, int month, int day, int weekday)
{
    const std::wstring name = windowsName(localeName);
    if (name.empty() || !IsValidLocaleName(name.c_str())) return {};
    return longDate(name.c_str(), year, month, day, weekday);
}

std::string UserLongDate(int year, int month, int day, int weekday)
{
    return longDate(LOCALE_NAME_USER_DEFAULT, year, month, day, weekday);
}

} // namespace lw::platform
