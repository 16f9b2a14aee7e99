// RichDocument -> Rich Text Format, in the subset that WordPad, Word and
// LibreOffice all read back as written: a font table (with families and
// pitches), a colour table, a list table, the character formats, paragraph
// alignment, direction, indents, spacing, tab stops and page breaks, tables
// as \trowd ... \row with merged cells, footnotes and endnotes, text
// outside ASCII as \'hh (Windows-1252) or \u, and pictures as \pict. No
// byte-order mark. What the reader would not give back (control characters, runs of
// nothing but those) is left out, so writing what was read from its own
// output gives the same bytes again.
#pragma once

#include "core/richtext/RichDocument.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lw {

struct RtfWriteOptions {
    // The face of runs that name none; it becomes font 0 of the table.
    std::string defaultFace = "Arial";
};

std::string WriteRtf(const RichDocument& doc, const RtfWriteOptions& options = {});

// The same a paragraph at a time, for a document that is never whole in
// memory (see the paragraph sink of ReadRtf): the paragraphs are written as
// they come, the tables of fonts, colours and lists that go before them
// once all have come.
class RtfWriter {
public:
    explicit RtfWriter(const RtfWriteOptions& options = {});
    // doc gives the lists, tables and font kinds the paragraph refers to;
    // continues: the paragraph goes on in the next call (a reader's piece).
    void Add(const Paragraph& paragraph, const RichDocument& doc, bool continues = false);
    // The whole file.
    std::string Finish(const RichDocument& doc);

private:
    struct OutRun;
    struct Pending {
        Paragraph paragraph;
        std::string label;
    };
    void writeParagraph(const Paragraph& p, const std::string& label, const RichDocument& doc, const char* end);
    void writeRuns(const Paragraph& p, const RichDocument& doc);
    void writeNote(const Note& note, const std::string& props, const RichDocument& doc);
    void flushRow(const RichDocument& doc);
    int fontOf(const std::string& face);
    int colorOf(const RgbColor& c);
    std::string propsOf(const CharFormat& f);
    // A run's control words and whether its face is a symbol font, for
    // the few formats written last: files of many short runs repeat them.
    // props is made when a run of the format is written, so a font of a
    // run that writes nothing does not enter the font table.
    struct Written {
        CharFormat format;
        std::optional<std::string> props;
        bool symbol = false;
    };
    Written& writtenFormat(const CharFormat& f, const RichDocument& doc);
    const std::string& propsOf(Written& w);
    std::vector<Written> recent_;

    std::vector<std::string> faces_;
    std::map<std::string, int> faceIndex_;
    std::vector<uint32_t> colors_;
    std::map<uint32_t, int> colorIndex_;
    std::vector<int> lsOf_;      // per list of the document: its \ls, 0 while unused
    std::vector<int> usedLists_; // in order of first use
    ListCounter labels_;
    std::vector<Pending> row_; // a table row waits until its last cell has come
    bool continuing_ = false;
    std::string body_;
};

} // namespace lw
