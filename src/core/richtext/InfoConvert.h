// Info files as the editor loads and saves them, without the editor: the
// same rules serve the editor window and the command line's --convert.
#pragma once

#include "core/richtext/RichDocument.h"

#include <ostream>
#include <string>
#include <string_view>

namespace lw {

// Text that is not RTF: decoded by the plain-text rule, every CR LF, LF and
// CR a paragraph break.
RichDocument PlainTextDocument(std::string_view bytes);

// RTF, falling back to plain text when the content is not RTF. wasRtf
// (optional) tells which it was.
RichDocument LoadInfoDocument(std::string_view bytes, bool* wasRtf = nullptr);

// The bytes of a plain-text save: CR LF line ends, Windows-1252 when every
// character fits, otherwise UTF-8 with a byte-order mark.
std::string PlainTextFileBytes(const RichDocument& doc);

// True when a plain-text save of the document keeps less than its text:
// it holds pictures, notes, links, lists, tables, a paragraph format other
// than the plain one, or a character format other than plain (the face and
// size of text that sets none).
bool PlainTextLoses(const RichDocument& doc, const CharFormat& plain);

// True when a file of this name is saved as plain text: its extension is
// ".txt" in any letter case. Everything else is saved as RTF.
bool SavesAsPlainText(std::string_view fileName);

// The face the editor gives text that names none, by the name of the file
// it came from: a fixed-pitch face for ".txt", Arial otherwise.
std::string DefaultFaceFor(std::string_view fileName);

// --convert INPUT OUTPUT: load INPUT as the editor does, write OUTPUT as the
// editor's save does; OUTPUT "-" writes the plain text to out in UTF-8 with
// LF line ends. An RTF input is read and written a paragraph at a time, so
// the document is never whole in memory. Returns the exit code; a failure
// writes one line to err, and what the reading could not keep a warning
// line each.
int ConvertInfoFile(const std::string& input, const std::string& output, std::ostream& out, std::ostream& err);

} // namespace lw
