#include "core/richtext/RtfReaderState.h"

#include "core/text/CodePages.h"
#include "core/text/TextCodec.h"

#include <algorithm>

namespace lw::rtfread {

int Reader::codePage() const
{
    const int f = st_.font >= 0 ? st_.font : defaultFont_;
    auto it = fonts_.find(f);
    if (it != fonts_.end() && it->second.codePage) return it->second.codePage;
    return ansiCodePage_;
}

const SharedString& Reader::faceOf(int font) const
{
    static const SharedString none;
    if (font == -2) return none;
    auto it = fonts_.find(font >= 0 ? font : defaultFont_);
    return it != fonts_.end() ? it->second.name : none;
}

void Reader::flush()
{
    if (pending_.empty()) return;
    CharFormat fmt = pendingFmt_;
    fmt.face = faceOf(pendingFont_);
    doc_.AppendText(pending_, fmt, pendingLink_ >= 0 ? links_[size_t(pendingLink_)] : SharedString());
    pending_.clear();
    deliverPiece();
}

void Reader::emitChar(char32_t cp)
{
    if (highSurrogate_) {
        // A high surrogate not followed by its low half stands for nothing valid.
        highSurrogate_ = 0;
        emitChar(0xFFFD);
    }
    if (cp == 0 || overflowSkips()) return;
    if (st_.dest == Dest::FontTable) {
        if (fontName_.size() < MaxFaceNameBytes) AppendUtf8(fontName_, cp);
        return;
    }
    if (st_.dest == Dest::FieldInst) {
        if (fieldInst_.size() < 4096) AppendUtf8(fieldInst_, cp);
        return;
    }
    if (st_.dest == Dest::ListText) {
        if (label_.size() < 256) AppendUtf8(label_, cp);
        return;
    }
    if (st_.dest == Dest::PnText) {
        std::string& t = pn_.after ? pn_.text : pn_.before;
        if (t.size() < 64) AppendUtf8(t, cp);
        return;
    }
    if (st_.dest == Dest::LevelText) {
        if (levelText_.size() < 64) {
            levelText_ += cp;
            levelPlaceholder_.push_back(false);
        }
        return;
    }
    if (st_.dest != Dest::Text) return;
    if (!note_) chftn_ = false; // a mark of the author's own, no number
    // The paragraph takes its format when its first content comes (that
    // places it in a table or a list) and again when it ends.
    if (pending_.empty() && doc_.Last().Empty()) applyPara();
    const int font = faceless_ ? -2 : st_.font;
    if (!pending_.empty() && (!(pendingFmt_ == st_.fmt) || pendingFont_ != font || pendingLink_ != st_.link)) flush();
    if (pending_.empty()) {
        pendingFmt_ = st_.fmt;
        pendingFont_ = font;
        pendingLink_ = st_.link;
    }
    AppendUtf8(pending_, cp);
    afterPar_ = false;
}

void Reader::emitAscii(char c)
{
    if (overflowSkips()) return;
    if (st_.dest == Dest::FontTable) {
        if (c == ';') finishFontEntry();
        else if (fontName_.size() < MaxFaceNameBytes)
            fontName_ += c;
        return;
    }
    if (st_.dest == Dest::ColorTable) {
        if (c == ';') {
            colors_.push_back(colorSet_ ? RgbColor::Rgb(uint32_t(red_) << 16 | uint32_t(green_) << 8 | uint32_t(blue_))
                                        : RgbColor{});
            red_ = green_ = blue_ = 0;
            colorSet_ = false;
        }
        return;
    }
    emitChar(char32_t(uint8_t(c)));
}

void Reader::emitByte(unsigned char b)
{
    if (st_.dest == Dest::LevelText) {
        // Numbers below 10 stand for levels' numbers; the first byte is the length.
        if (levelText_.size() < 64) {
            levelText_ += char32_t(b);
            levelPlaceholder_.push_back(true);
        }
        return;
    }
    if ((st_.dest == Dest::Text || st_.dest == Dest::ListText || st_.dest == Dest::PnText) && symbolFont() &&
        b >= 0x20) {
        emitSymbol(b);
        return;
    }
    if (leadByte_) {
        const unsigned char lead = leadByte_;
        leadByte_ = 0;
        emitChar(DecodeDoubleByte(leadCodePage_, lead, b));
        return;
    }
    if (b >= 0x80 && st_.dest == Dest::Text) {
        const int cp = codePage();
        if (IsDoubleByteCodePage(cp)) {
            if (IsLeadByte(cp, b)) {
                leadByte_ = b;
                leadCodePage_ = cp;
            } else {
                emitChar(DecodeDoubleByteSingle(cp, b));
            }
            return;
        }
    }
    if (b < 0x80) {
        emitAscii(char(b));
        return;
    }
    if (st_.dest == Dest::FontTable) {
        const int cp = fontEntry_.codePage ? fontEntry_.codePage : ansiCodePage_;
        emitChar(DecodeByte(cp, b));
        return;
    }
    emitChar(DecodeByte(codePage(), b));
}

bool Reader::symbolFont() const
{
    auto it = fonts_.find(st_.font >= 0 ? st_.font : defaultFont_);
    return it != fonts_.end() && it->second.kind.symbol;
}

void Reader::emitSymbol(char32_t code)
{
    auto it = fonts_.find(st_.font >= 0 ? st_.font : defaultFont_);
    const char32_t cp = SymbolFontChar(it != fonts_.end() ? it->second.name.str() : std::string(), uint8_t(code));
    if (cp >= 0xF000 && cp <= 0xF0FF) {
        emitChar(cp); // no Unicode equivalent: kept in its font
        return;
    }
    faceless_ = true;
    emitChar(cp);
    faceless_ = false;
}

void Reader::finishFontEntry()
{
    if (!fontEntryOpen_) return;
    std::string name = std::move(fontName_);
    while (!name.empty() && (name.back() == ' ' || name.back() == ';')) name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    if (fontEntry_.charset == 2) fontEntry_.kind.symbol = true;
    if (!name.empty() &&
        (fontEntry_.kind.family != FontFamily::Nil || fontEntry_.kind.pitch != 0 || fontEntry_.kind.symbol))
        doc_.fontKinds.emplace(name, fontEntry_.kind);
    fontEntry_.name = std::move(name);
    fonts_[fontIndex_] = fontEntry_;
    fontEntryOpen_ = false;
    fontEntry_ = Font{};
    fontName_.clear();
}

} // namespace lw::rtfread
