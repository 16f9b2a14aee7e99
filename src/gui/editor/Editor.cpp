#include "gui/editor/Editor.h"

#include "base/FileIO.h"
#include "core/richtext/InfoConvert.h"
#include "gui/controls/Icons.h"
#include "gui/editor/OLERichEdit.h"
#include "gui/main/GuiQuestions.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace lw {

namespace {

constexpr int kSizes[] = {8, 9, 10, 11, 12, 14, 18, 24, 36, 48, 72};

QString extensionOf(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf('.');
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

} // namespace

TEditorForm::TEditorForm(GuiQuestions& questions, QWidget* parent)
    : QMainWindow(parent, Qt::Window), questions_(questions)
{
    setWindowIcon(LoadIcon(QStringLiteral("lanternwright")));

    EditText = new TOLEEdit;
    EditText->setObjectName(QStringLiteral("EditText"));
    EditText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    EditText->setTabChangesFocus(false);
    QFont controlFont(QStringLiteral("Arial"));
    controlFont.setPixelSize(16);
    EditText->setFont(controlFont);
    setCentralWidget(EditText);

    auto makeBar = [&](const char* name, const QString& title) {
        auto* bar = new QToolBar(title);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(24, 24));
        bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        addToolBar(bar);
        return bar;
    };
    EditBar = makeBar("EditBar", tr("Edit"));
    auto add = [](QToolBar* bar, const char* name, const char* icon, const QString& caption, bool checkable = false) {
        QAction* a = bar->addAction(LoadIcon(QString::fromLatin1(icon)), caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(checkable);
        return a;
    };
    SaveButton = add(EditBar, "SaveButton", "ed-save", tr("Save"));
    CancelButton = add(EditBar, "CancelButton", "ed-cancel", tr("Cancel"));
    EditBar->addSeparator();
    UndoButton = add(EditBar, "UndoButton", "ed-undo", tr("Undo"));
    RedoButton = add(EditBar, "RedoButton", "ed-redo", tr("Redo"));
    CutButton = add(EditBar, "CutButton", "ed-cut", tr("Cut"));
    CopyButton = add(EditBar, "CopyButton", "ed-copy", tr("Copy"));
    PasteButton = add(EditBar, "PasteButton", "ed-paste", tr("Paste"));
    EditBar->addSeparator();
    // The formatting buttons stand in a second row.
    addToolBarBreak();
    FormatBar = makeBar("FormatBar", tr("Format"));

    FontMenu = new QMenu(this);
    FontMenu->setObjectName(QStringLiteral("FontMenu"));
    SizeMenu = new QMenu(this);
    SizeMenu->setObjectName(QStringLiteral("SizeMenu"));
    auto dropDown = [&](const char* name, const char* icon, const QString& caption, QMenu* menu) {
        auto* b = new QToolButton;
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(LoadIcon(QString::fromLatin1(icon)));
        b->setText(caption);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setIconSize(QSize(24, 24));
        b->setPopupMode(QToolButton::InstantPopup);
        b->setMenu(menu);
        b->setAutoRaise(true);
        FormatBar->addWidget(b);
        return b;
    };
    FontButton = dropDown("FontButton", "ed-font", tr("Font"), FontMenu);
    SizeButton = dropDown("SizeButton", "ed-size", tr("Size"), SizeMenu);
    BoldButton = add(FormatBar, "BoldButton", "ed-bold", tr("Bold"), true);
    ItalicButton = add(FormatBar, "ItalicButton", "ed-italic", tr("Italic"), true);
    ULineButton = add(FormatBar, "ULineButton", "ed-uline", tr("ULine"), true);
    FormatBar->addSeparator();
    LeftButton = add(FormatBar, "LeftButton", "ed-left", tr("Left"), true);
    CenterButton = add(FormatBar, "CenterButton", "ed-center", tr("Center"), true);
    RightButton = add(FormatBar, "RightButton", "ed-right", tr("Right"), true);
    FormatBar->addSeparator();
    // What the author makes beyond character formats, in a row of its own:
    // the second is full at the window's first width.
    addToolBarBreak();
    InsertBar = makeBar("InsertBar", tr("Lists and pictures"));
    BulletsButton = add(InsertBar, "BulletsButton", "ed-bullets", tr("Bullets"), true);
    NumberingButton = add(InsertBar, "NumberingButton", "ed-numbering", tr("Numbering"), true);
    InsertBar->addSeparator();
    PictureButton = add(InsertBar, "PictureButton", "ed-picture", tr("Insert Picture\u2026"));
    PictureButton->setIconText(tr("Picture"));
    alignGroup_ = new QActionGroup(this);
    alignGroup_->setExclusive(true);
    for (QAction* a : {LeftButton, CenterButton, RightButton}) alignGroup_->addAction(a);
    LeftButton->setChecked(true);
    // Window shortcuts: they act from the text too, before it sees the key
    // (Ctrl+I would type a tab there). Triggering a check button flips it,
    // then runs its command; an alignment button stays down in its group.
    auto withKey = [](QAction* a, Qt::Key key, const QString& hint) {
        a->setShortcut(QKeySequence(Qt::CTRL | key));
        a->setToolTip(QStringLiteral("%1 (%2)").arg(hint, a->shortcut().toString(QKeySequence::NativeText)));
    };
    withKey(BoldButton, Qt::Key_B, tr("Bold"));
    withKey(ItalicButton, Qt::Key_I, tr("Italic"));
    withKey(ULineButton, Qt::Key_U, tr("Underline"));
    withKey(LeftButton, Qt::Key_L, tr("Align left"));
    withKey(CenterButton, Qt::Key_E, tr("Centre"));
    withKey(RightButton, Qt::Key_R, tr("Align right"));
    withKey(SaveButton, Qt::Key_S, tr("Save and close"));
    auto withShiftKey = [](QAction* a, Qt::Key key, const QString& hint) {
        a->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | key));
        a->setToolTip(QStringLiteral("%1 (%2)").arg(hint, a->shortcut().toString(QKeySequence::NativeText)));
    };
    withShiftKey(BulletsButton, Qt::Key_L, tr("Bullets: Tab and Shift+Tab change an item's level"));
    withShiftKey(NumberingButton, Qt::Key_N, tr("Numbering: Tab and Shift+Tab change an item's level"));
    withShiftKey(PictureButton, Qt::Key_P, tr("Insert a PNG, JPEG, BMP or GIF picture"));
    CancelButton->setToolTip(tr("Close without saving"));

    TextMenu = new QMenu(this);
    TextMenu->setObjectName(QStringLiteral("TextMenu"));
    auto item = [&](const char* name, const QString& caption) {
        QAction* a = TextMenu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    UndoTextMenu = item("UndoTextMenu", tr("Undo"));
    RedoTextMenu = item("RedoTextMenu", tr("Redo"));
    TextMenu->addSeparator();
    CutTextMenu = item("CutTextMenu", tr("Cut"));
    CopyTextMenu = item("CopyTextMenu", tr("Copy"));
    PasteTextMenu = item("PasteTextMenu", tr("Paste"));
    ClearTextMenu = item("ClearTextMenu", tr("Delete"));
    EditText->SetPopupMenu(TextMenu);

    auto* sizes = new QActionGroup(this);
    for (int size : kSizes) {
        QAction* item = SizeMenu->addAction(QString::number(size));
        item->setCheckable(true);
        item->setData(size);
        sizes->addAction(item);
        onTriggered(item, [this, size] { FontSizeClick(size); });
    }
    SizeMenu->addSeparator();
    SelectSizeMenu = SizeMenu->addAction(tr("Other..."));
    FontMenu->setTitle(tr("Font"));
    SizeMenu->setTitle(tr("Size"));
    // The Format menu: every formatting command of the toolbar, by name.
    FormatMenu = menuBar()->addMenu(tr("F&ormat"));
    FormatMenu->setObjectName(QStringLiteral("FormatMenu"));
    FormatMenu->addMenu(FontMenu);
    FormatMenu->addMenu(SizeMenu);
    FormatMenu->addSeparator();
    FormatMenu->addActions({BoldButton, ItalicButton, ULineButton});
    FormatMenu->addSeparator();
    FormatMenu->addActions({LeftButton, CenterButton, RightButton});
    FormatMenu->addSeparator();
    FormatMenu->addActions({BulletsButton, NumberingButton});
    FormatMenu->addSeparator();
    FormatMenu->addAction(PictureButton);
    SelectSizeMenu->setObjectName(QStringLiteral("SelectSizeMenu"));
    onTriggered(SelectSizeMenu, [this] {
        const int current = std::abs(EditText->SelAttributes().Size());
        if (const auto size = questions_.AskNumber("Font Size", "Size in points:", current > 0 ? current : 12, 1, 1638))
            FontSizeClick(*size);
    });

    onTriggered(SaveButton, [this] { SaveClick(); });
    onTriggered(CancelButton, [this] { CancelClick(); });
    for (QAction* a : {UndoButton, UndoTextMenu}) onTriggered(a, [this] { EditText->Undo(); });
    for (QAction* a : {RedoButton, RedoTextMenu}) onTriggered(a, [this] { EditText->Redo(); });
    for (QAction* a : {CutButton, CutTextMenu}) onTriggered(a, [this] { EditText->CutToClipboard(); });
    for (QAction* a : {CopyButton, CopyTextMenu}) onTriggered(a, [this] { EditText->CopyToClipboard(); });
    for (QAction* a : {PasteButton, PasteTextMenu}) onTriggered(a, [this] { EditText->PasteFromClipboard(); });
    onTriggered(ClearTextMenu, [this] { EditText->ClearSelection(); });
    onTriggered(BoldButton, [this] { setStyleFlag(fsBold, BoldButton->isChecked()); });
    onTriggered(ItalicButton, [this] { setStyleFlag(fsItalic, ItalicButton->isChecked()); });
    onTriggered(ULineButton, [this] { setStyleFlag(fsUnderline, ULineButton->isChecked()); });
    onTriggered(LeftButton, [this] {
        if (!FUpdating) EditText->Paragraph().SetAlignment(taLeftJustify);
    });
    onTriggered(CenterButton, [this] {
        if (!FUpdating) EditText->Paragraph().SetAlignment(taCenter);
    });
    onTriggered(RightButton, [this] {
        if (!FUpdating) EditText->Paragraph().SetAlignment(taRightJustify);
    });
    onTriggered(BulletsButton, [this] { ListClick(ListKind::Bullets); });
    onTriggered(NumberingButton, [this] { ListClick(ListKind::Numbering); });
    onTriggered(PictureButton, [this] { InsertPictureClick(); });

    EditText->SetQuestions(&questions_);
    EditText->OnChange = [this](QObject*) { EditTextChange(); };
    EditText->OnSelectionChange = [this](QObject*) { SelectionChange(); };
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TEditorForm::UpdatePasteButtons);

    FillFontMenu();
    ResetEditor(EditorFont::Proportional);
    EditTextChange();
    UpdatePasteButtons();

    // Last, once every button is in its bar: both rows whole, at least the
    // classic 628 x 428. Later shows keep the size the author gave it.
    QSize size = QSize(628, 428).expandedTo(sizeHint());
    if (screen()) size = size.boundedTo(screen()->availableSize());
    resize(size);
}

TEditorForm::~TEditorForm() = default;

void TEditorForm::guarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        questions_.ShowMessage(MessageKind::Error, "Lanternwright", e.what());
    }
}

// Each action is connected once, here, so every command has the guard.
void TEditorForm::onTriggered(QAction* action, std::function<void()> command)
{
    connect(action, &QAction::triggered, this, [this, command = std::move(command)] { guarded(command); });
}

void TEditorForm::FillFontMenu()
{
    // Family names as other programs know them, each once: fontconfig
    // lists a family once per foundry, as "Nimbus Sans [urw]".
    QStringList families;
    QSet<QString> seen;
    for (const QString& f : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(f)) continue;
        const QString family = QString::fromStdString(FontFamilyName(f.toStdString()));
        if (!seen.contains(family)) {
            seen.insert(family);
            families << family;
        }
    }
    std::sort(families.begin(), families.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    FontMenu->clear();
    auto* group = new QActionGroup(FontMenu);
    for (const QString& family : families) {
        QAction* item = FontMenu->addAction(family.left(32));
        item->setCheckable(true);
        group->addAction(item);
        onTriggered(item, [this, item] {
            if (FUpdating) return;
            EditText->SelAttributes().SetName(item->text());
            item->setChecked(true);
            FontButton->setToolTip(QStringLiteral("%1: %2").arg(FontButton->text(), item->text()));
        });
    }
}

void TEditorForm::ResetEditor(EditorFont font)
{
    EditText->Clear();
    QFont f;
    if (font == EditorFont::Proportional) {
        f = QFont(QStringLiteral("Arial"));
        f.setPointSize(12);
    } else {
        // Named, not the system's fixed font: a saved RTF must name a face
        // that every reader has, or a Windows reader substitutes a
        // proportional one and the template's columns fall apart.
        f = QFont(QStringLiteral("Courier New"));
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        f.setPointSize(10);
    }
    EditText->DefAttributes().Assign(f);
    EditText->DefAttributes().SetColor(QColor());     // the window's text colour
    EditText->DefAttributes().SetBackColor(QColor()); // the window's colour
    SelectionChange();
}

void TEditorForm::SetFileName(const QString& path)
{
    FFileName = path;
    showTitle();
}

void TEditorForm::showTitle()
{
    setWindowTitle(QStringLiteral("%1 - %2").arg(QFileInfo(FFileName).fileName(), tr("Editing")));
}

void TEditorForm::LoadFile(const QString& path)
{
    ResetEditor(extensionOf(path) == QLatin1String(".txt") ? EditorFont::FixedPitch : EditorFont::Proportional);
    EditText->Lines().LoadFromFile(path);
    EditText->SetSelStart(0);
    EditText->SetSelLength(0);
    EditText->SetModified(false);
    FUntitled = false;
    SetFileName(path);
    EditTextChange();
    // What the file held that the text could not keep is said before it is shown.
    if (!EditText->LoadWarnings().isEmpty())
        questions_.ShowMessage(MessageKind::Warning, "Lanternwright",
                               QStringLiteral("%1: %2")
                                   .arg(QFileInfo(path).fileName(), EditText->LoadWarnings().join(QLatin1Char(' ')))
                                   .toStdString());
}

void TEditorForm::NewText(const QString& text)
{
    ResetEditor(EditorFont::FixedPitch);
    EditText->Lines().SetText(text);
    EditText->SetSelStart(0);
    EditText->SetSelLength(0);
    EditText->SetModified(true);
    // A new text has no file yet: a name set afterwards is only proposed in
    // the save dialog, so the text never replaces a file the author did not
    // choose.
    FUntitled = true;
    FFileName.clear();
    showTitle();
    EditTextChange();
}

void TEditorForm::writeTo(const QString& path)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (extensionOf(path) == QLatin1String(".txt")) {
        EditText->SetPlainText(true);
        try {
            EditText->Lines().SaveToStream(buffer);
        } catch (...) {
            EditText->SetPlainText(false);
            throw;
        }
        EditText->SetPlainText(false);
    } else {
        EditText->Lines().SaveToStream(buffer);
    }
    WriteFileAtomic(std::filesystem::path(path.toStdU16String()), buffer.data().toStdString());
}

bool TEditorForm::SaveFile()
{
    // What plain text would lose is measured against the text that sets no
    // format of its own.
    CharFormat plain;
    const QFont font = EditText->document()->defaultFont();
    plain.face = font.family().toStdString();
    plain.halfPoints = int(std::lround(font.pointSizeF() * 2));
    QString target = FFileName;
    if (FUntitled || FFileName.isEmpty() || !QFileInfo(FFileName).isFile()) {
        // A new text proposes its name in its own folder; otherwise start
        // where the author saved last. The dialog asks before it replaces
        // an existing file.
        QString dir = FUntitled ? QString() : lastSaveDir_;
        if (dir.isEmpty() && !FFileName.isEmpty()) dir = QFileInfo(FFileName).absolutePath();
        if (dir.isEmpty()) dir = lastSaveDir_;
        std::string proposed = FFileName.isEmpty() ? "" : QFileInfo(FFileName).fileName().toStdString();
        // A new text that holds formats or pictures is proposed as RTF, which
        // keeps them; the dialog shows the type of the name it proposes.
        if (FUntitled && SavesAsPlainText(proposed) && PlainTextLoses(EditText->ToDocument(), plain))
            proposed = proposed.substr(0, proposed.size() - 4) + ".rtf";
        FileRequest req{"", "Rich Text|*.rtf|Text Files|*.txt|Any File|*.*", dir.toStdString(), proposed, "rtf", true};
        const auto chosen = questions_.ChooseSaveFile(req);
        if (!chosen) return false;
        target = QString::fromStdString(*chosen);
        lastSaveDir_ = QFileInfo(target).absolutePath();
    }
    if (SavesAsPlainText(target.toStdString()) && PlainTextLoses(EditText->ToDocument(), plain) &&
        questions_.AskYesNo("Lanternwright", "Save as plain text? Formatting and pictures will be lost.") !=
            Answer::Yes)
        return false;
    // The name is taken only once the file is written: a failed save leaves
    // the text as it was, modified and untitled if it was new.
    writeTo(target);
    FUntitled = false;
    SetFileName(target);
    if (OnSaveFile) OnSaveFile(this, FFileName);
    return true;
}

void TEditorForm::SaveClick()
{
    if (EditText->Modified() && !SaveFile()) return;
    ResetEditor(EditorFont::Proportional);
    EditText->SetModified(false);
    close();
}

void TEditorForm::CancelClick()
{
    ResetEditor(EditorFont::Proportional);
    EditText->SetModified(false);
    FUntitled = false;
    close();
}

void TEditorForm::closeEvent(QCloseEvent* event)
{
    if (!EditText->Modified()) {
        event->accept();
        return;
    }
    switch (questions_.AskYesNoCancel("Lanternwright", "Save changes before closing?")) {
    case Answer::Cancel: event->ignore(); return;
    case Answer::Yes:
        try {
            if (!SaveFile()) {
                event->ignore();
                return;
            }
        } catch (const std::exception& e) {
            questions_.ShowMessage(MessageKind::Error, "Lanternwright", e.what());
            event->ignore();
            return;
        }
        break;
    case Answer::No: break;
    }
    ResetEditor(EditorFont::Proportional);
    EditText->SetModified(false);
    FUntitled = false;
    event->accept();
}

void TEditorForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    EditText->setFocus();
    UpdatePasteButtons();
}

void TEditorForm::CheckMenuCaption(QMenu* menu, const QString& text)
{
    bool found = false;
    for (QAction* item : menu->actions()) {
        if (!item->isCheckable()) continue;
        const bool match = !found && item->text() == text;
        item->setChecked(match);
        found = found || match;
    }
}

void TEditorForm::SelectionChange()
{
    FUpdating = true;
    struct Clear {
        bool& f;
        ~Clear() { f = false; }
    } clear{FUpdating};
    const TFontStyles style = EditText->SelAttributes().Style();
    BoldButton->setChecked(style & fsBold);
    ItalicButton->setChecked(style & fsItalic);
    ULineButton->setChecked(style & fsUnderline);
    switch (EditText->Paragraph().Alignment()) {
    case taLeftJustify: LeftButton->setChecked(true); break;
    case taRightJustify: RightButton->setChecked(true); break;
    case taCenter: CenterButton->setChecked(true); break;
    default:
        // Justified text: none of the three is down.
        alignGroup_->setExclusive(false);
        for (QAction* a : {LeftButton, CenterButton, RightButton}) a->setChecked(false);
        alignGroup_->setExclusive(true);
    }
    const int size = std::abs(EditText->SelAttributes().Size());
    const QString name = EditText->SelAttributes().Name();
    CheckMenuCaption(FontMenu, name);
    CheckMenuCaption(SizeMenu, QString::number(size));
    FontButton->setToolTip(QStringLiteral("%1: %2").arg(FontButton->text(), name));
    SizeButton->setToolTip(QStringLiteral("%1: %2").arg(SizeButton->text()).arg(size));
    const bool sel = EditText->SelLength() > 0;
    for (QAction* a : {CutButton, CopyButton, CutTextMenu, CopyTextMenu, ClearTextMenu}) a->setEnabled(sel);
    const ListKind list = EditText->CurrentListKind();
    BulletsButton->setChecked(list == ListKind::Bullets);
    NumberingButton->setChecked(list == ListKind::Numbering);
}

void TEditorForm::ListClick(ListKind kind)
{
    if (FUpdating) return;
    EditText->ToggleList(kind);
    SelectionChange();
}

void TEditorForm::InsertPictureClick()
{
    FileRequest req;
    req.title = "Insert Picture";
    req.filter = "Pictures|*.png;*.jpg;*.jpeg;*.bmp;*.gif|Any File|*.*";
    req.initialDir =
        (lastPictureDir_.isEmpty() && !FFileName.isEmpty() ? QFileInfo(FFileName).absolutePath() : lastPictureDir_)
            .toStdString();
    const auto chosen = questions_.ChooseOpenFile(req);
    if (!chosen) return;
    const QString path = QString::fromStdString(*chosen);
    lastPictureDir_ = QFileInfo(path).absolutePath();
    EditText->InsertPictureFile(path);
}

void TEditorForm::setStyleFlag(unsigned flag, bool on)
{
    if (FUpdating) return;
    TFontStyles style = EditText->SelAttributes().Style();
    style = on ? (style | flag) : (style & ~flag);
    EditText->SelAttributes().SetStyle(style);
}

void TEditorForm::FontSizeClick(int points)
{
    if (FUpdating) return;
    EditText->SelAttributes().SetSize(points);
    CheckMenuCaption(SizeMenu, QString::number(points));
    SizeButton->setToolTip(QStringLiteral("%1: %2").arg(SizeButton->text()).arg(points));
}

void TEditorForm::EditTextChange()
{
    UndoButton->setEnabled(EditText->CanUndo());
    RedoButton->setEnabled(EditText->CanRedo());
    UndoTextMenu->setEnabled(UndoButton->isEnabled());
    RedoTextMenu->setEnabled(RedoButton->isEnabled());
}

void TEditorForm::UpdatePasteButtons()
{
    bool can = false;
    if (const QMimeData* data = QApplication::clipboard()->mimeData())
        for (const QString& format : data->formats())
            if (EditText->CanPaste(format)) {
                can = true;
                break;
            }
    PasteButton->setEnabled(can);
    PasteTextMenu->setEnabled(can);
}

} // namespace lw
