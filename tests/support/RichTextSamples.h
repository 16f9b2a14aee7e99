// A document with what word processors keep beyond text and character
// formats, for the tests that save it (the writer, the editor) and have
// LibreOffice read it back: footnotes and endnotes, a page break, a
// right-to-left paragraph and cells merged across and down.
#pragma once

#include "core/richtext/RichDocument.h"

#include <memory>
#include <string>

namespace lw::test {

// A table of two rows and three cells: the first two cells merged across,
// the third merged down.
inline void AppendMergedCells(RichDocument& doc, const CharFormat& f)
{
    TableDefinition table;
    table.rowEdges = {{2000, 4000, 6000}, {2000, 4000, 6000}};
    table.rowMerges = {{{MergeKind::First, MergeKind::None},
                        {MergeKind::Continued, MergeKind::None},
                        {MergeKind::None, MergeKind::First}},
                       {{}, {}, {MergeKind::None, MergeKind::Continued}}};
    doc.tables.push_back(table);
    const char* cells[] = {"wide", "", "tall", "a", "b", ""};
    for (int i = 0; i < 6; ++i) {
        doc.NewParagraph().cell = CellPlace{0, i / 3, i % 3};
        doc.AppendText(cells[i], f);
    }
}

inline RichDocument NotesAndBreaksDocument()
{
    RichDocument doc;
    CharFormat f;
    f.face = "Arial";
    f.halfPoints = 20;
    CharFormat mark = f, italic = f;
    mark.vertical = VerticalAlign::Superscript;
    italic.italic = true;
    auto note = [&](const char* first, const char* second, bool endnote, bool numbered) {
        RichDocument text;
        text.AppendText(first, f);
        if (second) {
            text.NewParagraph(ParaAlign::Center);
            text.AppendText(second, italic);
        }
        auto n = std::make_shared<Note>();
        n->endnote = endnote;
        n->numbered = numbered;
        n->paragraphs = text.paragraphs;
        return n;
    };
    doc.AppendText("Loot", f);
    doc.AppendNote(note("Counted at the end.", "Keys count too.", false, true), mark);
    doc.AppendText(" and keys", f);
    doc.AppendNote(note("An endnote.", nullptr, true, true), mark);
    doc.AppendText("*", mark);
    doc.AppendNote(note("* The author's own mark.", nullptr, false, false), mark);
    doc.NewParagraph().pageBreakBefore = true;
    doc.AppendText("On a new page", f);
    doc.NewParagraph(ParaAlign::Right).rightToLeft = true;
    doc.AppendText("\u05E9\u05DC\u05D5\u05DD", f);
    AppendMergedCells(doc, f);
    doc.NewParagraph();
    doc.AppendText("after the table", f);
    return doc;
}

inline std::string TextOf(const Paragraph& p)
{
    std::string text;
    for (const TextRun& r : p.runs) text += r.text;
    return text;
}

// What another program's save of NotesAndBreaksDocument (or a text with
// its parts) lost, in words; empty when nothing. Merged cells may come
// back as one wider cell, as LibreOffice writes a merge across.
inline std::string NotesAndBreaksMissing(const RichDocument& back)
{
    bool footnote = false, endnote = false, pageBreak = false, rtl = false, wide = false, down = false;
    for (const Paragraph& p : back.paragraphs) {
        const std::string text = TextOf(p);
        for (const TextRun& r : p.runs) {
            if (!r.IsNote() || r.note->paragraphs.empty()) continue;
            const std::string first = TextOf(r.note->paragraphs.front());
            if (!r.note->endnote && first.find("Counted at the end.") != std::string::npos &&
                r.note->paragraphs.size() == 2 && TextOf(r.note->paragraphs[1]) == "Keys count too.")
                footnote = true;
            if (r.note->endnote && first.find("An endnote.") != std::string::npos) endnote = true;
        }
        if (text == "On a new page" && p.pageBreakBefore) pageBreak = true;
        if (text == "\u05E9\u05DC\u05D5\u05DD" && p.rightToLeft) rtl = true;
        if (text == "wide" && p.cell.table >= 0) {
            const TableDefinition& t = back.tables.at(size_t(p.cell.table));
            const auto& edges = t.rowEdges.at(size_t(p.cell.row));
            // LibreOffice moves the edges by the cell's gap.
            wide =
                t.MergeOf(p.cell.row, p.cell.cell).across == MergeKind::First || (edges.size() == 2 && edges[0] > 3500);
        }
        if (text == "tall" && p.cell.table >= 0) {
            const TableDefinition& t = back.tables.at(size_t(p.cell.table));
            bool below = false;
            for (int c = 0; c < 3; ++c) below = below || t.MergeOf(p.cell.row + 1, c).down == MergeKind::Continued;
            down = t.MergeOf(p.cell.row, p.cell.cell).down == MergeKind::First && below;
        }
    }
    std::string missing;
    if (!footnote) missing += "the footnote of two paragraphs; ";
    if (!endnote) missing += "the endnote; ";
    if (!pageBreak) missing += "the page break; ";
    if (!rtl) missing += "the right-to-left paragraph; ";
    if (!wide) missing += "the cells merged across; ";
    if (!down) missing += "the cells merged down; ";
    return missing;
}

} // namespace lw::test
