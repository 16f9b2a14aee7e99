#include "gui/editor/ListEditing.h"

#include "gui/editor/RichTextMapping.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <vector>

namespace lw {

namespace {

// A level's indent in pixels: the 360 twips the writer gives a list item.
constexpr double kLevelPixels = 24;

std::vector<QTextBlock> selectedBlocks(const QTextCursor& cursor)
{
    const QTextDocument* doc = cursor.document();
    QTextBlock b = doc->findBlock(cursor.selectionStart());
    const QTextBlock last = doc->findBlock(cursor.selectionEnd());
    std::vector<QTextBlock> out;
    for (; b.isValid(); b = b.next()) {
        out.push_back(b);
        if (b == last) break;
    }
    return out;
}

ListKind kindOf(const QTextList* list)
{
    if (!list) return ListKind::None;
    switch (list->format().style()) {
    case QTextListFormat::ListDisc:
    case QTextListFormat::ListCircle:
    case QTextListFormat::ListSquare: return ListKind::Bullets;
    default: return ListKind::Numbering;
    }
}

// What each level of a new list shows: bullets •, o, ▪ and numbers 1., a.,
// i. in turn, as word processors give them.
ListLevel levelFor(ListKind kind, int level)
{
    ListLevel lv;
    if (kind == ListKind::Bullets) {
        static const char* const bullets[] = {"\u2022", "o", "\u25AA"};
        lv.bullet = bullets[level % 3];
        return lv;
    }
    static const ListStyle styles[] = {ListStyle::Decimal, ListStyle::LowerAlpha, ListStyle::LowerRoman};
    lv.style = styles[level % 3];
    return lv;
}

void leaveList(const QTextBlock& block)
{
    QTextList* list = block.textList();
    if (!list) return;
    list->remove(block);
    // Qt keeps the list's indent on the paragraph; ours have their margins.
    QTextBlockFormat f = block.blockFormat();
    f.setIndent(0);
    QTextCursor(block).setBlockFormat(f);
}

// The Qt list that stands for this list and level among the items around
// the block, if one does.
QTextList* listNear(const QTextBlock& block, int id, int level)
{
    auto matches = [&](const QTextBlock& b) -> QTextList* {
        QTextList* list = b.textList();
        int bid = 0, blevel = 0;
        if (!list || !ListPlace(list->format(), bid, blevel) || bid != id) return nullptr;
        return blevel == level ? list : nullptr;
    };
    auto inList = [&](const QTextBlock& b) {
        int bid = 0, blevel = 0;
        return b.textList() && ListPlace(b.textList()->format(), bid, blevel) && bid == id;
    };
    for (QTextBlock b = block.previous(); b.isValid() && inList(b); b = b.previous())
        if (QTextList* list = matches(b)) return list;
    for (QTextBlock b = block.next(); b.isValid() && inList(b); b = b.next())
        if (QTextList* list = matches(b)) return list;
    return nullptr;
}

void putInList(const QTextBlock& block, int id, int level, ListKind kind)
{
    QTextList* target = listNear(block, id, level);
    if (block.textList() == target && target) return;
    leaveList(block);
    if (target) {
        target->add(block);
        return;
    }
    QTextListFormat f = QtListFormat(levelFor(kind, level), id, level);
    // A paragraph without margins of its own is placed by the list.
    if (block.blockFormat().leftMargin() <= 0) f.setIndent(level + 1);
    QTextCursor(block).createList(f);
}

} // namespace

ListKind ListKindAt(const QTextCursor& cursor)
{
    return kindOf(cursor.block().textList());
}

void ToggleList(QTextCursor& cursor, ListKind kind)
{
    if (kind == ListKind::None) return;
    const std::vector<QTextBlock> blocks = selectedBlocks(cursor);
    const bool all =
        std::all_of(blocks.begin(), blocks.end(), [&](const QTextBlock& b) { return kindOf(b.textList()) == kind; });
    cursor.beginEditBlock();
    if (all) {
        for (const QTextBlock& b : blocks) leaveList(b);
    } else {
        // Items right after a list of this kind number on in it.
        int id = 0, level = 0;
        const QTextBlock before = blocks.front().previous();
        if (!(before.isValid() && kindOf(before.textList()) == kind &&
              ListPlace(before.textList()->format(), id, level)))
            id = NewListIds();
        for (const QTextBlock& b : blocks) {
            int was = 0, wasLevel = 0;
            if (!(b.textList() && ListPlace(b.textList()->format(), was, wasLevel))) wasLevel = 0;
            putInList(b, id, wasLevel, kind);
        }
    }
    cursor.endEditBlock();
}

bool ChangeListLevel(QTextCursor& cursor, int delta)
{
    const std::vector<QTextBlock> blocks = selectedBlocks(cursor);
    bool any = false;
    cursor.beginEditBlock();
    for (const QTextBlock& b : blocks) {
        QTextList* list = b.textList();
        if (!list) continue;
        any = true;
        int id = 0, level = 0;
        if (!ListPlace(list->format(), id, level)) {
            id = NewListIds();
            level = std::clamp(list->format().indent() - 1, 0, MaxListLevels - 1);
        }
        const int to = std::clamp(level + delta, 0, MaxListLevels - 1);
        if (to == level) continue;
        // A paragraph with margins of its own moves by a level's indent.
        QTextBlockFormat f = b.blockFormat();
        if (f.leftMargin() > 0) {
            f.setLeftMargin(std::max(0.0, f.leftMargin() + (to - level) * kLevelPixels));
            QTextCursor(b).setBlockFormat(f);
        }
        putInList(b, id, to, kindOf(list));
    }
    cursor.endEditBlock();
    return any;
}

} // namespace lw
