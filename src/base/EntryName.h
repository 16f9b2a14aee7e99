// The name a package stores a listed file under: the one rule that the
// check (which reads the list) and the zip engine (which reads the disk)
// both follow, so that what the check passes the engine packs under the
// same name, and two files the engine would store alike the check reports.
#pragma once

#include <string>
#include <string_view>

namespace lw {

// path's parts with "/" between them, "\" and "/" both separating: empty
// parts and "." are dropped, ".." takes back the part before it, and a ".."
// with none before it (the path climbs out of its directory) is dropped,
// as are a drive ("C:\") and a root. leaves (when given) tells whether the
// path climbs out or starts at a root or drive: such a file is stored
// where the package unpacks it, not where it lies.
// "..\shared\x.wav" -> "shared/x.wav", "obj\..\..\x.bin" -> "x.bin".
std::string StoredEntryName(std::string_view path, bool* leaves = nullptr);

} // namespace lw
