// Making lists in the text: bullets or numbering on and off for the
// selected paragraphs, and an item's level. The lists made here are lists
// of the document as the reader's are (RichTextMapping), so a save writes
// them as any other list and a reader reads them back.
#pragma once

class QTextCursor;

namespace lw {

enum class ListKind { None, Bullets, Numbering };

// The kind of list the cursor's paragraph is an item of.
ListKind ListKindAt(const QTextCursor& cursor);

// Every paragraph the selection touches becomes an item of a list of that
// kind, keeping its level, and goes on the list just before them when it
// is of the same kind; when all of them already are, they leave it.
void ToggleList(QTextCursor& cursor, ListKind kind);

// The selected list items one level deeper (delta 1) or higher (-1), as far
// as the levels go; false when the selection touches no list item.
bool ChangeListLevel(QTextCursor& cursor, int delta);

} // namespace lw
