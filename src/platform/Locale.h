// What the user chose for language and dates, as the system keeps it: the
// environment (LC_ALL, LANG, ...) on POSIX, the user's settings on Windows.
#pragma once

#include <string>

namespace lw::platform {

// The user's two-letter language ("de"); "" when none is set.
std::string UserLangTag();

// A date as the named locale writes it in full ("Dienstag, 8. Dezember
// 2026"), UTF-8. The name is a POSIX locale name ("de_DE.UTF-8"); Windows
// reads its language and territory ("de-DE"). "" when the system does not
// have that locale. weekday: 0 = Sunday.
std::string LongDateIn(const std::string& localeName, int year, int month, int day, int weekday);

// The same in the user's own long date format; "" when the user chose
// none (the C locale).
std::string UserLongDate(int year, int month, int day, int weekday);

} // namespace lw::platform
