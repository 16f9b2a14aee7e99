// Between the widget-free RichDocument and Qt's QTextDocument. Pictures sit
// in the QTextDocument as image resources named "lwpic:<n>"; the store keeps
// each one's own bytes, so a PNG or JPEG is saved as it came and a metafile,
// shown as a framed placeholder, is saved back unchanged. A footnote or
// endnote, which Qt cannot show, is one object character that draws its
// mark and shows its text as a tooltip; the store keeps the note and its
// mark's format, and the save writes them back unchanged.
#pragma once

#include "core/richtext/RichDocument.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTextCharFormat>
#include <QTextListFormat>
#include <QTextObjectInterface>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QTextDocument;
class QTextCursor;
class QTextList;

namespace lw {

// A note as the text holds it.
struct StoredNote {
    std::shared_ptr<const Note> note;
    CharFormat mark; // the reference's own format, written back as it came
};

class PictureStore {
public:
    // Registers the picture with the document and returns its resource name.
    QString Add(std::shared_ptr<const Picture> picture, QTextDocument& doc);
    std::shared_ptr<const Picture> Find(const QString& name) const;
    // Keeps a note and returns the name its object character carries.
    QString AddNote(std::shared_ptr<const Note> note, const CharFormat& mark);
    const StoredNote* FindNote(const QString& name) const;
    void Clear();
    int Count() const { return int(pictures_.size()); }

    // What the picture looks like on screen: PNG and JPEG decoded, anything
    // else (or a picture that does not decode) a framed box of its size.
    static QImage Render(const Picture& picture);
    // The size the picture is shown at, in pixels.
    static QSize DisplaySize(const Picture& picture);

private:
    QHash<QString, std::shared_ptr<const Picture>> pictures_;
    QHash<QString, StoredNote> notes_;
    int next_ = 0;
};

// The object type of a note's character, and the properties it carries:
// the store's name of the note and the mark it shows.
enum : int { kNoteObject = QTextFormat::UserObject + 1 };
enum : int { kNoteName = QTextFormat::UserProperty + 100, kNoteLabel };

// Draws a note's mark: its number raised and small, dotted beneath like
// hidden text, as the author cannot edit it in place. Registered with each
// text that shows notes.
class NoteMarks : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    using QObject::QObject;
    QSizeF intrinsicSize(QTextDocument* doc, int posInDocument, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* doc, int posInDocument,
                    const QTextFormat& format) override;
};

// A note's text as its tooltip shows it, paragraph by paragraph.
QString NoteText(const Note& note);

// Lists as the text holds them: each Qt list stands for one level of one
// list of the document, which it names by an id and a level.
// count ids that no list of any text has yet; the first is returned.
int NewListIds(int count = 1);
QTextListFormat QtListFormat(const ListLevel& level, int listId, int levelIndex);
// The list and level a Qt list stands for; false for one made elsewhere.
bool ListPlace(const QTextListFormat& format, int& listId, int& level);
ListLevel LevelOfList(const QTextListFormat& format);

// A picture made from an image that came without a file of its own (a
// clipboard image): encoded as PNG.
std::shared_ptr<Picture> PictureFromImage(const QImage& image);
// A picture made from a file's bytes: PNG and JPEG kept as they are, other
// formats Qt can read converted to PNG; nullptr when they are no picture.
std::shared_ptr<Picture> PictureFromFileData(const QByteArray& bytes);

QTextCharFormat ToQtFormat(const CharFormat& format, const std::string& link = {});
// defaults: the document's font, for what the format does not set.
CharFormat FromQtFormat(const QTextCharFormat& format, const QFont& defaults);

// Inserts the document at the cursor. intoBlock: the first paragraph's
// text joins the block at the cursor, which keeps its own format (a paste);
// otherwise the block takes the first paragraph's format (a load).
void InsertRichDocument(QTextCursor& cursor, const RichDocument& doc, PictureStore& store, bool intoBlock = false);

// The same a paragraph at a time, as a reader hands them over (see the
// paragraph sink of ReadRtf), so a large file never stands in memory as a
// document beside the text. A table waits until its last row has come.
class RichTextInserter {
public:
    RichTextInserter(QTextCursor& cursor, PictureStore& store, bool intoBlock = false);
    ~RichTextInserter();
    // doc holds the lists and tables the paragraph refers to; continues:
    // the paragraph goes on in the next call.
    void Add(const Paragraph& paragraph, const RichDocument& doc, bool continues = false);
    // Inserts what waits; the cursor then stands after the inserted text.
    void Finish(const RichDocument& doc);

private:
    const QTextCharFormat& formatOf(const CharFormat& f, const std::string& link);
    void joinList(const Paragraph& p, const RichDocument& doc);
    void insertRuns(const Paragraph& p);
    void insertTable(const RichDocument& doc);
    void addText(const QString& text, const QTextCharFormat& format);
    void flushText();

    QTextCursor& cursor_;
    PictureStore& store_;
    bool intoBlock_;
    bool atStart_ = true;         // nothing added yet
    bool fresh_ = true;           // the cursor's block waits for a paragraph
    bool continuing_ = false;     // the last paragraph goes on
    bool tableOpensText_ = false; // the waiting table is the first thing added
    std::unordered_map<std::string, QTextCharFormat> formats_;
    std::map<int, int> listIds_; // the document's list -> the id in the text
    std::map<std::pair<int, int>, QTextList*> lists_;
    NoteCounter marks_;
    std::vector<Paragraph> table_;
    // Text not yet inserted, in one format, and the format of the last
    // paragraph inserted block by block, which the breaks in it repeat.
    QString text_;
    QTextCharFormat textFormat_;
    std::unique_ptr<Paragraph> last_;
};
RichDocument ToRichDocument(const QTextDocument& doc, const PictureStore& store);

} // namespace lw
