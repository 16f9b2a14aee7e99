#include "core/richtext/InfoFieldScan.h"

#include "core/richtext/RtfReaderState.h"

#include <algorithm>
#include <cstring>

namespace lw {

namespace {

// As deep as the RTF reader keeps groups apart; deeper ones read as part
// of the group around them there too.
constexpr size_t kMaxDepth = 1000;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

InfoFieldScan::InfoFieldScan()
{
    stack_.reserve(64);
}

void InfoFieldScan::Feed(std::string_view bytes)
{
    if (mode_ == Mode::Undecided) {
        const size_t take = std::min(bytes.size(), sizeof head_ - headSize_);
        std::memcpy(head_ + headSize_, bytes.data(), take);
        headSize_ += take;
        bytes.remove_prefix(take);
        if (headSize_ < sizeof head_) return;
        decide();
    }
    switch (mode_) {
    case Mode::Plain: feedPlain(bytes); break;
    case Mode::Utf16Le:
    case Mode::Utf16Be: feedUtf16(bytes); break;
    case Mode::Rtf: feedRtf(bytes); break;
    case Mode::Undecided: break;
    }
}

void InfoFieldScan::Finish()
{
    if (mode_ == Mode::Undecided) decide();
}

// The rules by which the editor loads the file: RTF when it starts with
// "{\rtf" (after a UTF-8 mark), else text by its byte-order mark.
void InfoFieldScan::decide()
{
    std::string_view head(head_, headSize_);
    const bool utf8Mark = startsWith(head, "\xEF\xBB\xBF");
    if (utf8Mark) head.remove_prefix(3);
    if (startsWith(head, "{\\rtf")) mode_ = Mode::Rtf;
    else if (!utf8Mark && startsWith(head, "\xFF\xFE"))
        mode_ = Mode::Utf16Le;
    else if (!utf8Mark && startsWith(head, "\xFE\xFF"))
        mode_ = Mode::Utf16Be;
    else
        mode_ = Mode::Plain;
    if (mode_ == Mode::Utf16Le || mode_ == Mode::Utf16Be) head.remove_prefix(2);
    headSize_ = 0;
    Feed(head);
}

void InfoFieldScan::put(uint32_t c)
{
    if (c == '\n') {
        line_ = Line::Start;
        return;
    }
    static constexpr std::string_view kWords[] = {"Title", "Author"};
    switch (line_) {
    case Line::Start:
        if (c == ' ' || c == '\t') return;
        line_ = Line::Word;
        matched_ = 0;
        candidates_ = kTitle | kAuthor;
        [[fallthrough]];
    case Line::Word: {
        uint8_t still = 0;
        for (uint8_t i = 0; i < 2; ++i) {
            const uint8_t bit = uint8_t(1u << i);
            if ((candidates_ & bit) && matched_ < kWords[i].size() && c == uint8_t(kWords[i][matched_])) still |= bit;
        }
        if (!still) {
            line_ = Line::Rest;
            return;
        }
        candidates_ = still;
        ++matched_;
        for (uint8_t i = 0; i < 2; ++i)
            if ((candidates_ & (1u << i)) && matched_ == kWords[i].size()) {
                word_ = uint8_t(1u << i);
                line_ = Line::Blanks;
            }
        return;
    }
    case Line::Blanks:
        if (c == ' ' || c == '\t') return;
        if (c == ':') found_ |= word_;
        line_ = Line::Rest;
        return;
    case Line::Rest: return;
    }
}

// UTF-8 and Windows-1252 agree on every byte the two words and their
// colon are made of.
void InfoFieldScan::feedPlain(std::string_view bytes)
{
    for (const char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        put(b == '\r' ? '\n' : b < 0x80 ? b : kOther);
    }
}

void InfoFieldScan::feedUtf16(std::string_view bytes)
{
    for (const char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        if (oddByte_ < 0) {
            oddByte_ = b;
            continue;
        }
        const uint32_t u =
            mode_ == Mode::Utf16Le ? (uint32_t(b) << 8 | uint32_t(oddByte_)) : (uint32_t(oddByte_) << 8 | uint32_t(b));
        oddByte_ = -1;
        put(u == '\r' ? '\n' : u < 0x80 ? u : kOther);
    }
}

void InfoFieldScan::feedRtf(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (token_ == Token::Done) return;
        if (token_ == Token::Binary) {
            const uint64_t skip = std::min<uint64_t>(binaryLeft_, bytes.size() - i);
            binaryLeft_ -= skip;
            i += size_t(skip) - 1;
            if (binaryLeft_ == 0) token_ = Token::Text;
            continue;
        }
        rtfByte(bytes[i]);
    }
}

void InfoFieldScan::rtfByte(char c)
{
    switch (token_) {
    case Token::Text:
        if (c == '{') {
            ucSkip_ = 0;
            if (!started_) {
                started_ = true; // the document's own group
                return;
            }
            groupStart_ = true;
            if (stack_.size() >= kMaxDepth) {
                ++overflow_;
                return;
            }
            stack_.push_back(group_);
            star_ = false;
        } else if (c == '}') {
            ucSkip_ = 0;
            groupStart_ = false;
            if (overflow_ > 0) {
                --overflow_;
            } else if (stack_.empty()) {
                token_ = Token::Done; // the document ends here
            } else {
                group_ = stack_.back();
                stack_.pop_back();
            }
        } else if (c == '\\') {
            token_ = Token::Escape;
        } else if (c != '\r' && c != '\n') {
            groupStart_ = false;
            if (group_.dest == Dest::Text && !skipsFallback()) {
                const auto b = static_cast<uint8_t>(c);
                textChar(b < 0x80 ? b : kOther);
            }
        }
        return;
    case Token::Escape:
        if (isLetter(c)) {
            token_ = Token::Word;
            wordSize_ = 0;
            wordText_[wordSize_++] = c;
            negative_ = hasParam_ = false;
            param_ = 0;
            return;
        }
        token_ = Token::Text;
        controlSymbol(c);
        return;
    case Token::Word:
        if (isLetter(c)) {
            if (wordSize_ < 32) wordText_[wordSize_++] = c;
            return;
        }
        if (c == '-') {
            token_ = Token::Minus;
            return;
        }
        if (isDigit(c)) {
            token_ = Token::Param;
            rtfByte(c);
            return;
        }
        afterWord(c);
        return;
    case Token::Minus:
        if (isDigit(c)) {
            negative_ = true;
            token_ = Token::Param;
            rtfByte(c);
            return;
        }
        // "\word-" is the word, then a hyphen of the text.
        endWord();
        if (token_ == Token::Text) {
            rtfByte('-');
            rtfByte(c);
        }
        return;
    case Token::Param:
        if (isDigit(c)) {
            hasParam_ = true;
            if (param_ < (int64_t(1) << 40)) param_ = param_ * 10 + (c - '0');
            return;
        }
        afterWord(c);
        return;
    case Token::Hex1:
        hexHigh_ = hexValue(c);
        if (hexHigh_ < 0) { // not an escape after all
            token_ = Token::Text;
            rtfByte(c);
            return;
        }
        token_ = Token::Hex2;
        return;
    case Token::Hex2: {
        token_ = Token::Text;
        const int low = hexValue(c);
        if (low < 0) return; // a cut-off escape stands for nothing
        if (group_.dest == Dest::Text && !skipsFallback()) {
            const int v = hexHigh_ * 16 + low;
            textChar(v < 0x80 ? uint32_t(v) : kOther);
        }
        return;
    }
    case Token::Binary:
    case Token::Done: return;
    }
}

// c ended the word: a space after it belongs to the word, anything else
// is read again (the first raw byte, after \bin).
void InfoFieldScan::afterWord(char c)
{
    endWord();
    if (c == ' ') return;
    if (token_ == Token::Binary) {
        if (--binaryLeft_ == 0) token_ = Token::Text;
        return;
    }
    rtfByte(c);
}

void InfoFieldScan::endWord()
{
    token_ = Token::Text;
    if (negative_) param_ = -param_;
    controlWord();
    groupStart_ = false;
}

void InfoFieldScan::controlWord()
{
    const std::string_view w(wordText_, wordSize_);
    const bool star = star_;
    star_ = false;
    if (w == "bin") { // raw bytes follow, whatever the destination
        if (hasParam_ && param_ > 0) {
            binaryLeft_ = uint64_t(param_);
            token_ = Token::Binary;
        }
        return;
    }
    if (group_.dest == Dest::Skip) return;
    if (group_.dest == Dest::UprSkip) {
        if (w == "ud") group_.dest = Dest::Text;
        return;
    }
    if (w == "u") {
        if (skipsFallback()) return;
        int64_t v = param_;
        if (v < 0) v += 65536;
        textChar(v >= 0 && v < 0x80 ? uint32_t(v) : kOther);
        ucSkip_ = group_.uc;
        return;
    }
    if (w == "uc") {
        group_.uc = uint8_t(std::clamp<int64_t>(param_, 0, 255));
    } else if (w == "par" || w == "line" || w == "sect" || w == "page" || w == "cell" || w == "row" ||
               w == "nestcell" || w == "nestrow") {
        textChar('\n');
    } else if (w == "tab") {
        textChar('\t');
    } else if (w == "emdash" || w == "endash" || w == "bullet" || w == "lquote" || w == "rquote" || w == "ldblquote" ||
               w == "rdblquote" || w == "emspace" || w == "enspace" || w == "qmspace" || w == "zwj" || w == "zwnj") {
        textChar(kOther);
    } else if (w == "upr") {
        group_.dest = Dest::UprSkip; // the Unicode copy in \ud follows
    } else if (w == "ud") {
        // Its text is the text.
    } else if (star || w == "fonttbl" || w == "colortbl" || w == "pict" || w == "fldinst" || w == "pntext" ||
               w == "listtext" || w == "pn" || rtfread::isSkippedDestination(w)) {
        group_.dest = Dest::Skip;
    }
}

void InfoFieldScan::controlSymbol(char c)
{
    const bool atStart = groupStart_;
    groupStart_ = false;
    switch (c) {
    case '\'': token_ = Token::Hex1; return;
    case '*':
        // Only at a group's start does it mark a destination to drop.
        star_ = atStart;
        return;
    case '\\':
    case '{':
    case '}':
        if (group_.dest == Dest::Text && !skipsFallback()) textChar(uint32_t(c));
        return;
    case '~':
    case '_':
        if (group_.dest == Dest::Text && !skipsFallback()) textChar(kOther);
        return;
    case '\r':
    case '\n':
        if (group_.dest == Dest::Text && !skipsFallback()) textChar('\n');
        return;
    case '\t':
        if (group_.dest == Dest::Text && !skipsFallback()) textChar('\t');
        return;
    default:
        if (group_.dest == Dest::Text) skipsFallback();
        return;
    }
}

void InfoFieldScan::textChar(uint32_t c)
{
    if (group_.dest == Dest::Text) put(c);
}

// The characters after a \u that stand in for it in older readers.
bool InfoFieldScan::skipsFallback()
{
    if (ucSkip_ <= 0) return false;
    --ucSkip_;
    return true;
}

} // namespace lw
