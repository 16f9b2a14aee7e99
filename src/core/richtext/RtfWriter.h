// RichDocument -> Rich Text Format, in the subset that WordPad, Word and
// LibreOffice all read back as written: a font table (with families and
// pitches), a colour table, a list table, the character formats, paragraph
// alignment, indents, spacing and tab stops, tables as \trowd ... \row,
// text outside ASCII as \'hh (Windows-1252) or \u, and pictures as \pict. No byte-order
// mark. What the reader would not give back (control characters, runs of
// nothing but those) is left out, so writing what was read from its own
// output gives the same bytes again.
#pragma once

#include "core/richtext/RichDocument.h"

#include <string>

namespace lw {

struct RtfWriteOptions {
    // The face of runs that name none; it becomes font 0 of the table.
    std::string defaultFace = "Arial";
};

std::string WriteRtf(const RichDocument& doc, const RtfWriteOptions& options = {});

} // namespace lw
