// List files (.lst): one path per line, relative to the list file's
// directory. Read leniently (any line end, any of the plain-text encodings),
// written as CR LF lines in Windows-1252 (UTF-8 with a mark when a name does
// not fit it).
#pragma once

#include <string>
#include <vector>

namespace lw {

// The lines as they stand (not cleaned); throws Error naming the file,
// also when it is no regular file (a pipe, a device) or holds control
// characters inside a line, as programs and pictures do. Paths are UTF-8
// text.
std::vector<std::string> ReadListFile(const std::string& path);
void WriteListFile(const std::string& path, const std::vector<std::string>& entries);

// A listed line as Open takes it: blanks and control characters trimmed at
// both ends, every "/" as "\".
std::string CleanListEntry(const std::string& line);

// List files are small; this bound keeps a wrong file from eating memory.
inline constexpr unsigned long long MaxListFileSize = 16ull << 20;

} // namespace lw
