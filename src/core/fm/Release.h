// The project's fm.ini: the file as the FM directory holds it, the values
// the author set, and how Save and Zip write it. Values the author leaves
// alone take defaults from the project: the FM name, the info file, and the
// day of the first Zip as the release date.
#pragma once

#include "core/fm/FMIni.h"
#include "core/text/CfgFiles.h"

#include <optional>
#include <string>
#include <vector>

namespace lw {

class Project;

struct FMRelease {
    FMIniFile file;       // as read or last written; empty when there is none
    bool exists = false;  // the FM directory holds one
    bool wanted = false;  // the author set the release in the window: Save and Zip make one
    ReleaseInfo values;   // as the author set them (read from the file at first)
    bool unsaved = false; // the author changed them since the last write
    // Save and Zip write one. The command line never makes a new one.
    bool Makes() const { return exists || wanted; }
};

// Reads the FM directory's fm.ini into project.Release (after the titles:
// a NiceName equal to the FM name follows that name from then on). Throws
// Error when it is there but cannot be read.
void ReadRelease(Project& project);

// What Save (zipping false) or Zip would write; none when the project
// makes no fm.ini.
std::optional<std::string> ReleaseText(const Project& project, bool zipping);

// Writes fm.ini when its text differs from the file's, and lists it.
// Nothing when the project makes none. What another program changed in the
// file since it was read stays; where it changed a value the author changed
// too, confirm decides: false leaves the file as it is (the author's changes
// stay unsaved) and the result is false; without confirm that throws Error.
bool WriteRelease(Project& project, bool zipping, const ConfirmOverwrite& confirm = {});

// The release time of the fm.ini as last read or written; none without one
// or without a date that reads.
std::optional<int64_t> ReleaseTime(const Project& project);

// Tags worth offering to a project that has none: a language for each
// language the FM has titles in, and the info file's "Author:".
std::vector<std::string> ProposedTags(const Project& project);

// The name the package stores a listed file under: its path as the disk
// spells it, relative to the FM directory, "/" between the parts.
std::string StoredName(const Project& project, const std::string& entry);

} // namespace lw
