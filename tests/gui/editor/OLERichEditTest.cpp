#include "gui/editor/OLERichEdit.h"
#include "base/FileIO.h"
#include "core/richtext/RtfReader.h"

#include <QBuffer>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QtTest>

using namespace lw;

namespace {

QByteArray pngBytes(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A photograph's kind of picture: no two neighbours alike, so JPEG loses.
QImage photo(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 37 % 256, y * 53 % 256, (x * y) % 256));
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

class ScriptedQuestions : public Questions {
public:
    std::optional<std::string> saveAnswer;
    std::vector<std::string> messages;
    std::optional<std::string> ChooseFolder(const FolderRequest&) override { return std::nullopt; }
    std::optional<std::string> ChooseOpenFile(const FileRequest&) override { return std::nullopt; }
    std::vector<std::string> ChooseOpenFiles(const FileRequest&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const FileRequest&) override { return saveAnswer; }
    int ChooseGame() override { return -1; }
    void ShowMessage(MessageKind, const std::string&, const std::string& text) override { messages.push_back(text); }
    Answer AskYesNoCancel(const std::string&, const std::string&) override { return Answer::Cancel; }
    void Beep() override {}
};

// The drop handler, reachable without a platform drag in progress.
class DropTarget : public TOLEEdit {
public:
    using TOLEEdit::dropEvent;
};

} // namespace

// Receives what QDesktopServices would hand to the desktop's viewer.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class OLERichEditTest : public QObject {
    Q_OBJECT

    // Text, then a picture at position 5, then more text.
    void withPicture(TOLEEdit& edit, const QByteArray& png)
    {
        edit.Lines().SetText(QStringLiteral("text more"));
        edit.SetSelStart(5);
        auto* data = new QMimeData;
        data->setData(QStringLiteral("image/png"), png);
        QApplication::clipboard()->setMimeData(data);
        edit.PasteFromClipboard();
    }

    void selectPicture(TOLEEdit& edit)
    {
        edit.SetSelStart(5);
        edit.SetSelLength(1);
    }

private slots:
    void pastedImageEmbedsWithItsOwnBytes()
    {
        TOLEEdit edit;
        const QByteArray png = pngBytes(40, 30, Qt::red);
        withPicture(edit, png);
        QCOMPARE(edit.ObjectCount(), 1);
        auto pic = edit.PictureAt(5);
        QVERIFY(pic);
        QCOMPARE(pic->kind, PictureKind::Png);
        QVERIFY(pic->data == png.toStdString());
        // An image without bytes of its own (a screenshot) embeds as PNG.
        QImage shot(10, 10, QImage::Format_RGB32);
        shot.fill(Qt::green);
        QApplication::clipboard()->setImage(shot);
        edit.SetSelStart(0);
        edit.PasteFromClipboard();
        QCOMPARE(edit.ObjectCount(), 2);
        QCOMPARE(edit.PictureAt(0)->kind, PictureKind::Png);
        // Saved as RTF, both come back as \pngblip pictures.
        QByteArray rtf;
        QBuffer out(&rtf);
        out.open(QIODevice::WriteOnly);
        edit.Lines().SaveToStream(out);
        QVERIFY(rtf.contains("\\pngblip"));
        const auto doc = ReadRtf(rtf.toStdString());
        QVERIFY(doc.has_value());
        int pictures = 0;
        for (const auto& r : doc->paragraphs[0].runs) pictures += r.IsPicture();
        QCOMPARE(pictures, 2);
    }

    void droppedPictureFileEmbedsWithTheActionTheKeysAsk()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("shot.png"));
        const QByteArray png = pngBytes(8, 6, Qt::blue);
        WriteFileAtomic(file.toStdString(), png.toStdString());
        DropTarget edit;
        edit.resize(300, 200);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        edit.Lines().SetText(QStringLiteral("drop here"));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});

        QDropEvent plain(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        edit.dropEvent(&plain);
        QVERIFY(plain.isAccepted());
        QCOMPARE(plain.dropAction(), Qt::MoveAction);
        QCOMPARE(edit.ObjectCount(), 1);

        QDropEvent ctrl(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ControlModifier);
        edit.dropEvent(&ctrl);
        QCOMPARE(ctrl.dropAction(), Qt::CopyAction);
        QCOMPARE(edit.ObjectCount(), 2);

        // A source that only copies is copied from, whatever the keys say.
        QDropEvent copyOnly(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        edit.dropEvent(&copyOnly);
        QCOMPARE(copyOnly.dropAction(), Qt::CopyAction);
        QCOMPARE(edit.ObjectCount(), 3);
        QVERIFY(edit.PictureAt(0) && edit.PictureAt(0)->data == png.toStdString());
    }

    void dropEffectRule()
    {
        const auto all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QCOMPARE(TOLEEdit::DropEffect(Qt::NoModifier, all, Qt::CopyAction), Qt::MoveAction);
        QCOMPARE(TOLEEdit::DropEffect(Qt::ControlModifier, all, Qt::MoveAction), Qt::CopyAction);
        QCOMPARE(TOLEEdit::DropEffect(Qt::ControlModifier | Qt::ShiftModifier, all, Qt::MoveAction), Qt::LinkAction);
        QCOMPARE(TOLEEdit::DropEffect(Qt::ShiftModifier, all, Qt::CopyAction), Qt::MoveAction);
        QCOMPARE(TOLEEdit::DropEffect(Qt::ControlModifier, Qt::MoveAction, Qt::MoveAction), Qt::MoveAction);
        QCOMPARE(TOLEEdit::DropEffect(Qt::NoModifier, Qt::CopyAction | Qt::LinkAction, Qt::LinkAction), Qt::LinkAction);
    }

    void selectedPictureShowsItsVerbsTextShowsTheTextMenu()
    {
        TOLEEdit edit;
        QMenu textMenu;
        textMenu.addAction(QStringLiteral("Undo"));
        edit.SetPopupMenu(&textMenu);
        withPicture(edit, pngBytes(20, 20, Qt::red));

        selectPicture(edit);
        QMenu* menu = edit.ContextMenuFor(QPoint(1, 1));
        QVERIFY(menu && menu != &textMenu);
        const auto actions = menu->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QStringLiteral("Open"));
        QVERIFY(actions[0]->font().bold());
        QCOMPARE(menu->defaultAction(), actions[0]);
        QCOMPARE(actions[1]->text(), QStringLiteral("Save Picture As..."));
        QVERIFY(!actions[1]->font().bold());
        QCOMPARE(actions[2]->text(), QStringLiteral("Copy"));
        QVERIFY(edit.SelObject() == edit.PictureAt(5));
        QCOMPARE(edit.ContextMenuFor(QPoint(1, 1)), menu); // the same object: the same menu

        edit.SetSelStart(1);
        edit.SetSelLength(2);
        QCOMPARE(edit.ContextMenuFor(QPoint(1, 1)), &textMenu);
        QVERIFY(!edit.SelObject());
        QVERIFY(!edit.VerbMenu());

        selectPicture(edit);
        edit.SetAutoVerbMenu(false);
        QCOMPARE(edit.ContextMenuFor(QPoint(1, 1)), &textMenu);
    }

    void pictureWithoutBytesHasNoMenu()
    {
        TOLEEdit edit;
        RtfReadLimits limits;
        limits.maxPictureBytes = 4;
        auto doc = ReadRtf("{\\rtf1 a{\\pict\\pngblip\\picwgoal300\\pichgoal300 0102030405060708}b}", limits);
        QVERIFY(doc.has_value());
        edit.LoadDocument(*doc);
        edit.SetSelStart(1);
        edit.SetSelLength(1);
        QVERIFY(edit.PictureAt(1));
        QVERIFY(edit.ContextMenuFor(QPoint(1, 1)) == nullptr);
    }

    void rightClickSelectsThePicture()
    {
        TOLEEdit edit;
        edit.resize(300, 200);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        withPicture(edit, pngBytes(40, 30, Qt::red));
        edit.SetSelStart(0);
        QTextCursor before(edit.document()), after(edit.document());
        before.setPosition(5);
        after.setPosition(6);
        const QPoint inside((edit.cursorRect(before).left() + edit.cursorRect(after).left()) / 2,
                            edit.cursorRect(after).center().y());
        QTest::mousePress(edit.viewport(), Qt::RightButton, {}, inside);
        QCOMPARE(edit.SelStart(), 5);
        QCOMPARE(edit.SelLength(), 1);
        QTest::mouseRelease(edit.viewport(), Qt::RightButton, {}, inside);
        // Then a right click on the text: the caret goes there, and the
        // text's menu is shown, not the picture's.
        QMenu textMenu;
        edit.SetPopupMenu(&textMenu);
        QTextCursor inText(edit.document());
        inText.setPosition(2);
        const QPoint onText = edit.cursorRect(inText).center();
        QTest::mousePress(edit.viewport(), Qt::RightButton, {}, onText);
        QCOMPARE(edit.SelLength(), 0);
        QCOMPARE(edit.ContextMenuFor(onText), &textMenu);
        QTest::mouseRelease(edit.viewport(), Qt::RightButton, {}, onText);
    }

    void pastedJpegKeepsItsOwnBytes()
    {
        // A clipboard that offers a JPEG and a PNG made from it holds the
        // JPEG's own bytes; one whose JPEG was made from a PNG, the PNG.
        const QByteArray jpeg = encoded(photo(64, 48), "JPG");
        const QByteArray pngOfJpeg = encoded(QImage::fromData(jpeg), "PNG");
        const QByteArray png = encoded(photo(64, 48), "PNG");
        const QByteArray jpegOfPng = encoded(photo(64, 48), "JPG");
        QVERIFY(jpeg.size() < pngOfJpeg.size());
        struct Case {
            QByteArray png, jpeg;
            PictureKind kind;
            QByteArray kept;
        };
        for (const Case& c : {Case{pngOfJpeg, jpeg, PictureKind::Jpeg, jpeg},
                              Case{png, jpegOfPng, PictureKind::Png, png}, Case{{}, jpeg, PictureKind::Jpeg, jpeg}}) {
            TOLEEdit edit;
            auto* data = new QMimeData;
            if (!c.png.isEmpty()) data->setData(QStringLiteral("image/png"), c.png);
            data->setData(QStringLiteral("image/jpeg"), c.jpeg);
            QApplication::clipboard()->setMimeData(data);
            edit.PasteFromClipboard();
            const auto pic = edit.PictureAt(0);
            QVERIFY(pic);
            QCOMPARE(pic->kind, c.kind);
            QVERIFY(pic->data == c.kept.toStdString());
        }
    }

    void verbsOpenSaveAndCopy()
    {
        TOLEEdit edit;
        ScriptedQuestions questions;
        edit.SetQuestions(&questions);
        const QByteArray png = pngBytes(12, 12, Qt::yellow);
        withPicture(edit, png);
        selectPicture(edit);
        QVERIFY(edit.ContextMenuFor(QPoint()));

        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        edit.DoVerb(TOLEEdit::OLEIVERB_PRIMARY_REQUEST);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls.size(), 1);
        const QString opened = catcher.urls[0].toLocalFile();
        QVERIFY(opened.endsWith(QStringLiteral(".png")));
        QCOMPARE(QByteArray::fromStdString(ReadWholeFile(opened.toStdString())), png);

        QTemporaryDir dir;
        questions.saveAnswer = dir.filePath(QStringLiteral("saved.png")).toStdString();
        edit.DoVerb(1); // index 1: "Save Picture As..."
        QCOMPARE(QByteArray::fromStdString(ReadWholeFile(*questions.saveAnswer)), png);

        QApplication::clipboard()->clear();
        edit.VerbMenu()->actions().at(2)->trigger(); // "Copy", through the menu
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        QVERIFY(copied);
        QCOMPARE(copied->data(QStringLiteral("image/png")), png);

        try {
            edit.DoVerb(7);
            QFAIL("no error");
        } catch (const EOleError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Invalid Verb"));
        }

        // Closing drops the viewer's copy with the objects.
        edit.Clear();
        QVERIFY(!QFile::exists(opened));
    }

    void clearDropsEveryObject()
    {
        TOLEEdit edit;
        withPicture(edit, pngBytes(5, 5, Qt::red));
        selectPicture(edit);
        QVERIFY(edit.ContextMenuFor(QPoint()));
        QVERIFY(edit.SelObject());
        edit.Clear();
        QCOMPARE(edit.ObjectCount(), 0);
        QCOMPARE(edit.Pictures().Count(), 0);
        QVERIFY(!edit.SelObject());
        QVERIFY(!edit.VerbMenu());
        QVERIFY(!edit.Modified());
        QCOMPARE(edit.toPlainText(), QString());
    }

    // Copy puts RTF with the pictures' bytes and plain text on the
    // clipboard, so a paste into another info text, after the first is
    // closed, keeps the pictures, lists and formats, and saves them.
    void copiedPicturesAndFormatsOutliveTheirEditor()
    {
        const QByteArray png = pngBytes(6, 4, Qt::blue);
        auto first = std::make_unique<TOLEEdit>();
        QByteArray rtf =
            "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}"
            "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'B7}}\\fi-360\\li360 {\\b bold} item\\par"
            "\\pard x{\\pict\\wmetafile8\\picw2540\\pich1270 0100090000}y{\\pict\\pngblip " +
            png.toHex() + "}z\\par}";
        QBuffer in(&rtf);
        in.open(QIODevice::ReadOnly);
        first->Lines().LoadFromStream(in);
        first->selectAll();
        QApplication::clipboard()->clear();
        first->CopyToClipboard();
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        QVERIFY(copied && copied->hasFormat(QStringLiteral("text/rtf")));
        QCOMPARE(copied->text(), QStringLiteral("\u2022\tbold item\nxyz"));
        first.reset(); // the first text is closed

        TOLEEdit second;
        second.PasteFromClipboard();
        QCOMPARE(second.ObjectCount(), 2);
        QByteArray out;
        QBuffer save(&out);
        save.open(QIODevice::WriteOnly);
        second.Lines().SaveToStream(save);
        const auto doc = ReadRtf(out.toStdString());
        QVERIFY(doc.has_value());
        QCOMPARE(QString::fromStdString(PlainTextOf(*doc)), QStringLiteral("\u2022\tbold item\nxyz"));
        QVERIFY(out.contains("\\wmetafile8"));
        QVERIFY(out.contains("0100090000"));
        bool pngKept = false;
        for (const auto& p : doc->paragraphs)
            for (const auto& r : p.runs) pngKept |= r.IsPicture() && r.picture->data == png.toStdString();
        QVERIFY(pngKept);
        QVERIFY(doc->paragraphs[0].runs.at(0).text == "bold" && doc->paragraphs[0].runs[0].format.bold);
        QVERIFY(doc->paragraphs[0].list >= 0);
        QCOMPARE(doc->paragraphs[0].firstIndent, -360);
        // Into the middle of a line the first paragraph's text joins that
        // line, which keeps its own format.
        second.SetSelStart(int(second.document()->toPlainText().indexOf(QStringLiteral("y"))));
        second.PasteFromClipboard();
        const auto twice = second.ToDocument();
        QCOMPARE(QString::fromStdString(PlainTextOf(twice)), QStringLiteral("\u2022\tbold item\nxbold item\nxyzyz"));
        QCOMPARE(twice.paragraphs[1].list, -1);
        QCOMPARE(second.ObjectCount(), 4);
    }

    // Pasted HTML goes through the same model: what the author sees is
    // what a save keeps, and nothing that a save would drop.
    void pastedHtmlHoldsOnlyWhatASaveKeeps()
    {
        TOLEEdit edit;
        auto* data = new QMimeData;
        data->setHtml(QStringLiteral("<p>a <b>bold</b> <span style=\"text-decoration: overline\">over</span>"
                                     " <img src=\"file:///nowhere.png\" width=\"20\" height=\"20\"> end</p>"
                                     "<ul><li>one</li><li>two</li></ul>"));
        data->setText(QStringLiteral("plain"));
        QApplication::clipboard()->setMimeData(data);
        edit.PasteFromClipboard();
        QTextDocument& d = *edit.document();
        QVERIFY(!d.toPlainText().contains(QChar::ObjectReplacementCharacter)); // no picture without bytes
        const int over = d.toPlainText().indexOf(QStringLiteral("over"));
        QVERIFY(over > 0);
        QTextCursor c(&d);
        c.setPosition(over + 1);
        QVERIFY(!c.charFormat().fontOverline());
        QVERIFY(!c.charFormat().fontUnderline());
        c.setPosition(d.toPlainText().indexOf(QStringLiteral("bold")) + 1);
        QVERIFY(c.charFormat().fontWeight() >= QFont::Bold);
        // The list came as a list, and is saved as one.
        bool listed = false;
        for (QTextBlock b = d.begin(); b.isValid(); b = b.next())
            listed |= b.text() == QStringLiteral("two") && b.textList();
        QVERIFY(listed);
        QCOMPARE(QString::fromStdString(PlainTextOf(edit.ToDocument())),
                 QStringLiteral("a bold over  end\n\u2022\tone\n\u2022\ttwo"));
    }

    // A bitmap from RTF renders; Open and Save Picture As write files that
    // viewers open; deleting the selected picture forgets it.
    void bitmapsRenderAndPicturesSaveAsViewersOpenThem()
    {
        // A 2 x 1 device-independent bitmap, 24 bits: a red and a green pixel.
        QByteArray dib;
        auto le = [&](quint32 v, int n) {
            for (int i = 0; i < n; ++i) dib.append(char((v >> (8 * i)) & 0xFF));
        };
        le(40, 4);
        le(2, 4);
        le(1, 4);
        le(1, 2);
        le(24, 2);
        le(0, 4);
        le(8, 4);
        le(2835, 4);
        le(2835, 4);
        le(0, 4);
        le(0, 4);
        dib.append(QByteArray::fromHex("0000ff00ff000000"));
        TOLEEdit edit;
        ScriptedQuestions questions;
        edit.SetQuestions(&questions);
        QByteArray rtf = "{\\rtf1 a{\\pict\\dibitmap0\\picw2\\pich1 " + dib.toHex() +
                         "}b{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 0100090000}c}";
        QBuffer in(&rtf);
        in.open(QIODevice::ReadOnly);
        edit.Lines().LoadFromStream(in);
        auto bmp = edit.PictureAt(1);
        QVERIFY(bmp);
        const QImage shown = PictureStore::Render(*bmp);
        QCOMPARE(shown.size(), QSize(2, 1));
        QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(1, 0), QColor(Qt::green));

        QTemporaryDir dir;
        edit.SetSelStart(1);
        edit.SetSelLength(1);
        QVERIFY(edit.ContextMenuFor(QPoint()));
        questions.saveAnswer = dir.filePath(QStringLiteral("p.bmp")).toStdString();
        edit.DoVerb(TOLEEdit::VerbSaveAs);
        QImage reread(QString::fromStdString(*questions.saveAnswer));
        QCOMPARE(reread.size(), QSize(2, 1));
        QCOMPARE(reread.pixelColor(1, 0), QColor(Qt::green));

        edit.SetSelStart(3);
        edit.SetSelLength(1);
        QVERIFY(edit.ContextMenuFor(QPoint()));
        QCOMPARE(edit.SelObject()->kind, PictureKind::Wmf);
        questions.saveAnswer = dir.filePath(QStringLiteral("p.wmf")).toStdString();
        edit.DoVerb(TOLEEdit::VerbSaveAs);
        const std::string wmf = ReadWholeFile(*questions.saveAnswer);
        QCOMPARE(QByteArray::fromStdString(wmf.substr(0, 4)), QByteArray::fromHex("d7cdc69a"));
        QCOMPARE(QByteArray::fromStdString(wmf.substr(10, 4)), QByteArray::fromHex("a005d002")); // 1440 x 720
        quint16 sum = 0;
        for (int i = 0; i < 20; i += 2) sum ^= quint16(quint8(wmf[size_t(i)]) | quint8(wmf[size_t(i + 1)]) << 8);
        QCOMPARE(quint16(quint8(wmf[20]) | quint8(wmf[21]) << 8), sum);
        QCOMPARE(QByteArray::fromStdString(wmf.substr(22)), QByteArray::fromHex("0100090000"));

        // Deleting the selected picture clears the object the menu was for.
        QVERIFY(edit.SelObject());
        edit.ClearSelection();
        QVERIFY(!edit.SelObject());
        QCOMPARE(edit.ObjectCount(), 1);
    }

    void metafilesShowAsFramedPlaceholdersAndSaveUnchanged()
    {
        TOLEEdit edit;
        const QByteArray rtf(
            "{\\rtf1 x{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 0100090000}y}");
        QByteArray in = rtf;
        QBuffer buffer(&in);
        buffer.open(QIODevice::ReadOnly);
        edit.Lines().LoadFromStream(buffer);
        auto pic = edit.PictureAt(1);
        QVERIFY(pic);
        QCOMPARE(pic->kind, PictureKind::Wmf);
        const QImage shown = PictureStore::Render(*pic);
        QCOMPARE(shown.size(), QSize(96, 48));
        QVERIFY(shown.pixelColor(0, 0) != shown.pixelColor(shown.width() / 2, 2)); // the frame
        QByteArray out;
        QBuffer save(&out);
        save.open(QIODevice::WriteOnly);
        edit.Lines().SaveToStream(save);
        QVERIFY(out.contains("\\wmetafile8"));
        QVERIFY(out.contains("0100090000"));
    }
};

QTEST_MAIN(OLERichEditTest)
#include "OLERichEditTest.moc"
