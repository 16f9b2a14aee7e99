// The benchmark document: paragraphs of formatted text as WordPad and Word
// write them, about 250 bytes each.
#pragma once

#include <string>

namespace lw::bench {

inline std::string MakeRtfDocument(int paragraphs)
{
    std::string s = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                    "{\\f1\\froman\\fcharset0 Times New Roman;}{\\f2\\fmodern\\fcharset238 Courier New CE;}}\r\n"
                    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;}\r\n"
                    "\\viewkind4\\uc1\\pard\\f0\\fs20\r\n";
    for (int p = 0; p < paragraphs; ++p) {
        s += (p % 3 == 0) ? "\\pard\\qc " : (p % 3 == 1) ? "\\pard\\qj " : "\\pard ";
        s += "Paragraph " + std::to_string(p) + " of the mission briefing: ";
        s += "{\\b the guard patrols} the {\\i courtyard} at night, {\\ul\\cf1 watch out} for the ";
        s += "{\\f1\\fs28 lanterns} near the gate. Na\\'efve caf\\'e9 \\u8364? {\\f2 \\'9a\\'e8\\'ed} ";
        s += "{\\strike old text}{\\highlight2 marked} and {\\cf3\\b\\i blue bold italic} words ";
        s += "to the end.\\par\r\n";
    }
    s += "}\r\n";
    return s;
}

} // namespace lw::bench
