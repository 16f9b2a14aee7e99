// The "Title:" and "Author:" lines that loaders read from an info file,
// looked for while the file's bytes pass by: RTF (its text, without the
// destinations a reader drops) or plain text (UTF-8, Windows-1252 or
// UTF-16), without building the document. The check reads info files of
// tens of megabytes this way in a few kilobytes of state, where the
// document model takes many times the file's size.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace lw {

class InfoFieldScan {
public:
    InfoFieldScan();

    // The file's bytes, in pieces of any size, in order.
    void Feed(std::string_view bytes);
    // After the last piece.
    void Finish();

    // A line starts with the word, after any blanks, then any blanks and a
    // colon: as the text the editor shows would have it.
    bool HasTitle() const { return (found_ & kTitle) != 0; }
    bool HasAuthor() const { return (found_ & kAuthor) != 0; }
    bool IsRtf() const { return mode_ == Mode::Rtf; }

private:
    static constexpr uint8_t kTitle = 1, kAuthor = 2;
    // Code points stand for themselves below 0x80; every other is this.
    static constexpr uint32_t kOther = 0x80;

    enum class Mode : uint8_t { Undecided, Plain, Utf16Le, Utf16Be, Rtf };
    enum class Line : uint8_t { Start, Word, Blanks, Rest };
    enum class Token : uint8_t { Text, Escape, Word, Minus, Param, Hex1, Hex2, Binary, Done };
    enum class Dest : uint8_t { Text, Skip, UprSkip };
    struct Group {
        Dest dest = Dest::Text;
        uint8_t uc = 1; // characters a \u's fallback takes
    };

    void decide();
    void feedPlain(std::string_view bytes);
    void feedUtf16(std::string_view bytes);
    void feedRtf(std::string_view bytes);
    void rtfByte(char c);
    void afterWord(char c);
    void endWord();
    void controlWord();
    void controlSymbol(char c);
    void textChar(uint32_t c);
    bool skipsFallback();
    // One character of the text as shown; '\n' ends a line.
    void put(uint32_t c);

    Mode mode_ = Mode::Undecided;
    char head_[8] = {}; // the first bytes, until they tell RTF from text
    size_t headSize_ = 0;
    int oddByte_ = -1; // UTF-16: a first byte waiting for its second

    uint8_t found_ = 0;
    Line line_ = Line::Start;
    uint8_t matched_ = 0, candidates_ = 0, word_ = 0;

    Token token_ = Token::Text;
    bool started_ = false;    // the document's own group is open
    bool groupStart_ = false; // nothing yet since the last "{"
    bool star_ = false;       // "\*" opened this group
    char wordText_[33] = {};
    size_t wordSize_ = 0;
    bool negative_ = false, hasParam_ = false;
    int64_t param_ = 0;
    int hexHigh_ = 0;
    uint64_t binaryLeft_ = 0;
    int ucSkip_ = 0;
    Group group_;
    std::vector<Group> stack_; // bounded: deeper groups count in overflow_
    size_t overflow_ = 0;
};

} // namespace lw
