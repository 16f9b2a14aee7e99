// Rich Text Format -> RichDocument. The reader takes what real info files
// hold (WordPad, Word, LibreOffice and hand-written files) and keeps the
// text, the character and paragraph formats the editor shows (indents,
// spacing, tab stops, direction, page breaks), lists (list table and old
// \pn numbering), tables (nested ones flattened into their cell, merged
// cells), footnotes and endnotes, hyperlink text and pictures. It never fails on damaged
// RTF: truncated files, unbalanced braces and oversized numbers give what
// could be read. The one failure is content that is not RTF at all.
#pragma once

#include "core/richtext/RichDocument.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace lw {

struct RtfReadLimits {
    // Groups nested deeper than this read as part of the group around them:
    // their text is kept, their formats and destinations are not, and the
    // document's loadWarnings say so.
    int maxDepth = 1000;
    // A picture larger than this keeps its place and size but not its bytes.
    size_t maxPictureBytes = size_t(32) << 20;
};

// Bytes that begin with "{\rtf" (after an optional UTF-8 byte-order mark).
bool LooksLikeRtf(std::string_view bytes);

// nullopt when the bytes are not RTF, so the caller can read them as text.
std::optional<RichDocument> ReadRtf(std::string_view bytes, const RtfReadLimits& limits = {});

// Reads a paragraph at a time, for files too large to hold as a document:
// each paragraph, once complete, goes to sink in order, with the document
// read so far (its lists, tables, font kinds), and is not kept. A long
// paragraph outside tables and notes goes in pieces of its runs, each
// but the last with continues set; the first piece has its format as far
// as read then. The document returned holds all but the paragraphs (one
// empty one).
using RtfParagraphSink = std::function<void(const Paragraph& paragraph, const RichDocument& soFar, bool continues)>;
std::optional<RichDocument> ReadRtf(std::string_view bytes, const RtfReadLimits& limits, const RtfParagraphSink& sink);

} // namespace lw
