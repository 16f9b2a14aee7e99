// The text of a new FM information file: a fill-in form with the title,
// archive name, release date, game, mission names and mission files filled
// in and every other field left for the author. UTF-8, CR LF line ends.
#pragma once

#include <string>

namespace lw {

struct CivilDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
};

// Today in local time.
CivilDate Today();

// The locale the user chose for dates: the first non-empty of LC_ALL,
// LC_TIME and LANG ("" when none is set).
std::string UserTimeLocaleName();

// The long date pattern of a locale name such as "de_DE.UTF-8": "%A" is the
// weekday's name, "%B" the month's name, "%d" the day without padding,
// "%Y" the four-digit year. Languages without an entry of their own get
// "%A, %d %B %Y". Used where the system keeps no long date pattern of its
// own (POSIX); Windows writes dates in the user's own pattern.
std::string LongDatePattern(const std::string& localeName);

// Fills a pattern of LongDatePattern with the given names and numbers.
std::string FormatLongDate(const std::string& pattern, const CivilDate& date, const std::string& weekdayName,
                           const std::string& monthName);

// date as a long date of the named locale, in UTF-8. A locale that is not
// installed (or "", "C", "POSIX") gives the English long date
// "Tuesday, 8 December 2026".
std::string LongDate(const CivilDate& date, const std::string& localeName);

// Today's date in the user's long date format.
std::string TodayLongDate();

// The template with date on lines 2 and 10; all values are inserted as they
// are.
std::string MakeInfoText(const std::string& title, const std::string& archiveName, const std::string& gameName,
                         const std::string& levelNames, const std::string& missionFiles, const std::string& date);

// The same with TodayLongDate().
std::string MakeInfoText(const std::string& title, const std::string& archiveName, const std::string& gameName,
                         const std::string& levelNames, const std::string& missionFiles);

} // namespace lw
