#include "gui/main/FMmain.h"

#include "base/FileIO.h"
#include "base/PathResolver.h"
#include "base/StrUtils.h"
#include "core/check/MissionUseRules.h"
#include "core/fm/InfoTemplate.h"
#include "core/fm/Packaging.h"
#include "gui/controls/Hintctrl.h"
#include "gui/controls/Icons.h"
#include "gui/dialogs/CreateFM.h"
#include "gui/dialogs/ReleaseDlg.h"
#include "gui/editor/Editor.h"
#include "gui/main/CheckDlg.h"
#include "gui/main/GuiQuestions.h"
#include "gui/main/Thumbnail.h"
#include "gui/main/ZipDlg.h"
#include "platform/File.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace lw {

// The status line's text: a long FM directory is shortened in its middle
// to the width there is, instead of cut off, and never widens the window.
class StatusText : public QLabel {
public:
    void SetText(const QString& text)
    {
        full_ = text;
        setToolTip(text);
        fit();
        updateGeometry();
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(full_) + 2 * margin() + 4, QLabel::sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        fit();
    }

private:
    void fit() { setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width())); }
    QString full_;
};

namespace {

struct BusyGuard {
    bool& flag;
    explicit BusyGuard(bool& f) : flag(f) { flag = true; }
    ~BusyGuard() { flag = false; }
};

// The flag of each language, in language order.
constexpr const char* kFlags[LangCount] = {"flag-en", "flag-fr", "flag-de", "flag-it", "flag-es"};

QLabel* buddyLabel(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TMainForm::TMainForm(GuiQuestions& questions, Project& project, QWidget* parent)
    : QMainWindow(parent), questions_(questions), project_(project)
{
    setWindowTitle(QApplication::applicationDisplayName());
    setWindowIcon(LoadIcon(QStringLiteral("lanternwright")));

    buildToolBar();
    buildZipper();
    buildFileList();
    buildNameBoxes();
    buildFlags();
    buildLayout();

    project_.CurMiss = 0;
    project_.ViewLang = -1;
    project_.GameDir = QSettings().value(QStringLiteral("gameFolder")).toString().toStdString();
    showNoProject();
    // It opens large enough for every control a project shows (the FM and
    // mission boxes, the whole status line), and no smaller than the
    // classic 513 x 528; from there the author sizes it, and the layout
    // keeps it from cutting a control.
    FMInfoBox->show();
    MissInfoBox->show();
    QSize full = sizeHint();
    FMInfoBox->hide();
    MissInfoBox->hide();
    // The status bar lays out its widgets only once shown; its text and
    // the few pixels around it are counted here.
    constexpr int kStatusMargins = 16;
    full.setWidth(std::max(full.width(), statusLabel_->sizeHint().width() + kStatusMargins));
    QSize size = QSize(513, 474 + 54).expandedTo(full);
    if (screen()) size = size.boundedTo(screen()->availableSize());
    resize(size);
}

// The commands along the top, each with its Ctrl key. The keys are window
// shortcuts: they work from any control of this window, the edit boxes
// included, and do nothing while their command is disabled.
void TMainForm::buildToolBar()
{
    MainToolBar = new QToolBar(tr("Commands"));
    MainToolBar->setObjectName(QStringLiteral("MainToolBar"));
    MainToolBar->setMovable(false);
    MainToolBar->setFloatable(false);
    MainToolBar->setIconSize(QSize(32, 32));
    MainToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    MainToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(MainToolBar);

    auto addCommand = [&](const char* name, const char* icon, const QString& caption, const QString& hint,
                          Qt::Key key) {
        QAction* a = MainToolBar->addAction(LoadIcon(QString::fromLatin1(icon)), caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(QKeySequence(Qt::CTRL | key));
        a->setToolTip(QStringLiteral("%1 (%2)").arg(hint, a->shortcut().toString(QKeySequence::NativeText)));
        a->setStatusTip(hint);
        return a;
    };
    CreateButton = addCommand("CreateButton", "new", tr("New"), tr("Start a new fan mission"), Qt::Key_N);
    OpenButton = addCommand("OpenButton", "open", tr("Open"), tr("Open a file list"), Qt::Key_O);
    SaveButton = addCommand("SaveButton", "save", tr("Save"), tr("Save the file list"), Qt::Key_S);
    MainToolBar->addSeparator();
    FMInfoButton = addCommand("FMInfoButton", "info", tr("Info"), tr("Edit the mission info"), Qt::Key_I);

    LangMenu = new QMenu(this);
    LangMenu->setObjectName(QStringLiteral("LangMenu"));
    LangGroup = new QActionGroup(this);
    LangGroup->setExclusive(true);
    for (int i = 0; i < LangCount; ++i) {
        QAction* item =
            LangMenu->addAction(LoadIcon(QString::fromLatin1(kFlags[i])), QString::fromUtf8(LangNames[size_t(i)]));
        item->setCheckable(true);
        item->setData(i);
        LangGroup->addAction(item);
        onSignal(item, &QAction::triggered, [this, i] { LangMenuClick(i); });
    }
    connect(LangMenu, &QMenu::aboutToShow, this, &TMainForm::LangMenuPopup);
    LangButton = new QToolButton;
    LangButton->setObjectName(QStringLiteral("LangButton"));
    LangButton->setText(tr("Lang"));
    LangButton->setToolTip(tr("Change the String Language"));
    LangButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    LangButton->setIconSize(QSize(32, 32));
    LangButton->setPopupMode(QToolButton::InstantPopup);
    LangButton->setMenu(LangMenu);
    LangButton->setIcon(LoadIcon(QStringLiteral("flag-en")));
    MainToolBar->addWidget(LangButton);
    MainToolBar->addSeparator();
    CheckButton = addCommand("CheckButton", "check", tr("Check"), tr("Check the FM before it ships"), Qt::Key_K);
    ZipButton = addCommand("ZipButton", "zip", tr("Zip"), tr("Zip-up the FM files"), Qt::Key_D);

    onSignal(CreateButton, &QAction::triggered, [this] { CreateButtonClick(); });
    onSignal(OpenButton, &QAction::triggered, [this] { OpenButtonClick(); });
    onSignal(SaveButton, &QAction::triggered, [this] { SaveButtonClick(); });
    onSignal(ZipButton, &QAction::triggered, [this] { ZipButtonClick(); });
    onSignal(CheckButton, &QAction::triggered, [this] { CheckButtonClick(); });
    onSignal(FMInfoButton, &QAction::triggered, [this] { FMInfoButtonClick(); });
}

void TMainForm::buildZipper()
{
    ConfigureFMZipper(FMZipper);
    FMZipper.SetQuestions(&questions_);
    FMZipper.OnProgress = [this](TZipArchiver*, ProgressType kind, const std::string& name, uint64_t size) {
        FMZipperProgress(kind, name, size);
    };
    // Keeps the progress window painting between the engine's callbacks and
    // lets its Cancel button stop the run. A package of thousands of small
    // files makes as many callbacks: events are seen to some 30 times a
    // second, not after each one, which made a run of 20,000 files take
    // seconds of painting instead of a fraction of one.
    FMZipper.OnAfterCallback = [this, sinceEvents = QElapsedTimer()](CallBackInfo&, bool& abort) mutable {
        if (!sinceEvents.isValid() || sinceEvents.elapsed() >= 30) {
            QCoreApplication::processEvents();
            sinceEvents.start();
        }
        if (FProgress && FProgress->Cancelled()) {
            abort = true;
            FMZipper.SetUnattended(true); // stopping is no error to report
        }
    };
}

// The file list with its Add and Remove buttons. Files dropped on the list
// are added; Delete in the list removes the selected ones.
void TMainForm::buildFileList()
{
    FileListBox = new QListWidget;
    FileListBox->setObjectName(QStringLiteral("FileListBox"));
    FileListBox->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileListBox->setMinimumWidth(322);
    FileListBox->setToolTip(tr("The files of the fan mission: exactly what Zip packs.\n"
                               "Drop files or folders here to add them; Delete removes the selected ones."));
    FileListBox->setAcceptDrops(true);
    FileListBox->viewport()->setAcceptDrops(true);
    FileListBox->viewport()->installEventFilter(this);
    onSignal(FileListBox, &QListWidget::itemSelectionChanged, [this] { FileListBoxClick(); });

    AddFileButton = new QPushButton(LoadIcon(QStringLiteral("add")), tr("&Add Files"));
    AddFileButton->setObjectName(QStringLiteral("AddFileButton"));
    AddFolderButton = new QPushButton(LoadIcon(QStringLiteral("add")), tr("Add F&older\u2026"));
    AddFolderButton->setObjectName(QStringLiteral("AddFolderButton"));
    AddFolderButton->setToolTip(tr("Add every file below a folder that the list lacks"));
    RemFileButton = new QPushButton(LoadIcon(QStringLiteral("remove")), tr("&Remove Files"));
    RemFileButton->setObjectName(QStringLiteral("RemFileButton"));
    onSignal(AddFileButton, &QPushButton::clicked, [this] { AddFileButtonClick(); });
    onSignal(AddFolderButton, &QPushButton::clicked, [this] { AddFolderButtonClick(); });
    onSignal(RemFileButton, &QPushButton::clicked, [this] { RemFileButtonClick(); });

    // A disabled button ignores the click, so Delete does nothing then.
    auto* deleteKey = new QAction(FileListBox);
    deleteKey->setShortcut(QKeySequence(Qt::Key_Delete));
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    FileListBox->addAction(deleteKey);
    connect(deleteKey, &QAction::triggered, RemFileButton, &QPushButton::click);
}

// The names of the FM and of the selected mission, in the language shown.
void TMainForm::buildNameBoxes()
{
    FMInfoBox = new QGroupBox(tr("Fan Mission"));
    FMInfoBox->setObjectName(QStringLiteral("FMInfoBox"));
    FMName = new THEdit;
    FMName->setObjectName(QStringLiteral("FMName"));
    FMShortName = new THEdit;
    FMShortName->setObjectName(QStringLiteral("FMShortName"));
    auto* fmLayout = new QVBoxLayout(FMInfoBox);
    fmLayout->addWidget(buddyLabel(tr("FM &Name"), FMName));
    fmLayout->addWidget(FMName);
    fmLayout->addWidget(buddyLabel(tr("&File Name"), FMShortName));
    fmLayout->addWidget(FMShortName);

    // What loaders show beyond the names: the release (fm.ini) and the
    // thumbnail, shown small beside its buttons.
    ThumbView = new QLabel;
    ThumbView->setObjectName(QStringLiteral("ThumbView"));
    ThumbView->setFixedSize(96, 54);
    ThumbView->setAlignment(Qt::AlignCenter);
    ThumbView->setFrameShape(QFrame::StyledPanel);
    ThumbView->setToolTip(tr("fmthumb.jpg, the picture loaders show"));
    ReleaseButton = new QPushButton(tr("Release &Details..."));
    ReleaseButton->setObjectName(QStringLiteral("ReleaseButton"));
    ReleaseButton->setToolTip(tr("The name, release date, description and tags loaders show (fm.ini)"));
    ThumbButton = new QPushButton(tr("&Thumbnail..."));
    ThumbButton->setObjectName(QStringLiteral("ThumbButton"));
    ThumbButton->setToolTip(tr("Make fmthumb.jpg from a picture"));
    auto* releaseButtons = new QVBoxLayout;
    releaseButtons->addWidget(ReleaseButton);
    releaseButtons->addWidget(ThumbButton);
    auto* releaseRow = new QHBoxLayout;
    releaseRow->addWidget(ThumbView);
    releaseRow->addLayout(releaseButtons, 1);
    fmLayout->addLayout(releaseRow);
    onSignal(ReleaseButton, &QPushButton::clicked, [this] { ReleaseButtonClick(); });
    onSignal(ThumbButton, &QPushButton::clicked, [this] { ThumbButtonClick(); });
    onSignal(FMName, &QLineEdit::textChanged, [this] { FMNameChange(); });
    onSignal(FMShortName, &QLineEdit::textChanged, [this] { FMShortNameChange(); });

    MissInfoBox = new QGroupBox(tr("Mission"));
    MissInfoBox->setObjectName(QStringLiteral("MissInfoBox"));
    MissName = new THEdit;
    MissName->setObjectName(QStringLiteral("MissName"));
    MissShortName = new THEdit;
    MissShortName->setObjectName(QStringLiteral("MissShortName"));
    auto* missLayout = new QVBoxLayout(MissInfoBox);
    missLayout->addWidget(buddyLabel(tr("&Long Name"), MissName));
    missLayout->addWidget(MissName);
    missLayout->addWidget(buddyLabel(tr("S&hort Name"), MissShortName));
    missLayout->addWidget(MissShortName);
    for (THEdit* e : {MissName, MissShortName}) onSignal(e, &QLineEdit::textChanged, [this, e] { MissNameChange(e); });
}

// The mission's flags, below its names; each check box's tag is the flag
// number of the flag file.
void TMainForm::buildFlags()
{
    BriefingCheck = new QCheckBox(tr("No &Briefing Movie"));
    BriefingCheck->setObjectName(QStringLiteral("BriefingCheck"));
    CutsceneCheck = new QCheckBox(tr("&Cutscene Movie"));
    CutsceneCheck->setObjectName(QStringLiteral("CutsceneCheck"));
    LoadoutCheck = new QCheckBox(tr("No Loadout &Screen"));
    LoadoutCheck->setObjectName(QStringLiteral("LoadoutCheck"));
    BriefingCheck->setProperty("tag", 1);
    LoadoutCheck->setProperty("tag", 2);
    CutsceneCheck->setProperty("tag", 3);
    auto* missLayout = static_cast<QVBoxLayout*>(MissInfoBox->layout());
    missLayout->addWidget(BriefingCheck);
    missLayout->addWidget(LoadoutCheck);
    missLayout->addWidget(CutsceneCheck);
    for (QCheckBox* c : {BriefingCheck, CutsceneCheck, LoadoutCheck})
        onSignal(c, &QCheckBox::clicked, [this, c] { MissFlagCheckClick(c); });

    InfoButton = new QPushButton(LoadIcon(QStringLiteral("edit")), tr("&Edit File"));
    InfoButton->setObjectName(QStringLiteral("InfoButton"));
    InfoButton->setToolTip(tr("Edit this file in the editor window"));
    onSignal(InfoButton, &QPushButton::clicked, [this] { InfoButtonClick(); });
}

// The file list on the left, the boxes of the selected entry on the right,
// the status line below.
void TMainForm::buildLayout()
{
    auto* right = new QVBoxLayout;
    right->addWidget(AddFileButton);
    right->addWidget(AddFolderButton);
    right->addWidget(RemFileButton);
    right->addSpacing(8);
    right->addWidget(FMInfoBox);
    right->addWidget(MissInfoBox);
    right->addWidget(InfoButton);
    right->addStretch();

    auto* listPanel = new QFrame;
    listPanel->setFrameShape(QFrame::StyledPanel);
    listPanel->setFrameShadow(QFrame::Sunken);
    auto* listLayout = new QVBoxLayout(listPanel);
    listLayout->setContentsMargins(0, 0, 0, 0);
    FileListBox->setFrameShape(QFrame::NoFrame);
    listLayout->addWidget(FileListBox);

    auto* central = new QWidget;
    auto* main = new QHBoxLayout(central);
    main->addWidget(listPanel, 1);
    main->addLayout(right);
    setCentralWidget(central);

    statusLabel_ = new StatusText;
    statusLabel_->setObjectName(QStringLiteral("StatusLabel"));
    statusBar()->addWidget(statusLabel_, 1);
    statusBar()->setSizeGripEnabled(false);
}

TMainForm::~TMainForm()
{
    delete FProgress;
}

void TMainForm::guarded(const std::function<void()>& command)
{
    // Every command is all or nothing: when it fails half-way, the project
    // goes back to what it was and the window shows it again, so the list
    // on screen is always the list that Save and Zip use.
    //
    // A file the editor saved on the way (Save and Zip save the text being
    // edited first) stays saved, so it stays listed too.
    Project before = project_;
    const bool hadProject = hasProject_;
    const size_t savesBefore = editorSaves_.size();
    ++commandDepth_;
    struct Depth {
        TMainForm& form;
        ~Depth()
        {
            if (--form.commandDepth_ == 0) form.editorSaves_.clear();
        }
    } depth{*this};
    auto fail = [&](const std::string& text) {
        // The stamps say what the disk holds now, which the rollback of
        // the project does not change.
        ReadStamps stamps = project_.StringFileStamps;
        project_ = std::move(before);
        project_.StringFileStamps = std::move(stamps);
        for (size_t i = savesBefore; hadProject && i < editorSaves_.size(); ++i) {
            try {
                project_.InfoFileSaved(editorSaves_[i]);
            } catch (const std::exception&) {
                // Reported when the save itself was handled.
            }
        }
        showAgain(hadProject);
        questions_.ShowMessage(MessageKind::Error, "Lanternwright", text);
    };
    try {
        command();
    } catch (const std::exception& e) {
        fail(e.what());
    } catch (...) {
        fail("An unexpected error occurred.");
    }
}

void TMainForm::showAgain(bool project)
{
    BusyGuard busy(FBusy);
    project_.CurMiss = 0;
    if (project) {
        fillFileList();
        showProject();
        InfoButton->hide();
    } else {
        showNoProject();
    }
}

bool TMainForm::listDropEvent(QEvent* event)
{
    // Files dropped on the list are added as Add Files adds them.
    auto* drop = static_cast<QDropEvent*>(event);
    if (!AddFileButton->isEnabled() || !drop->mimeData()->hasUrls()) return false;
    if (event->type() != QEvent::Drop) {
        drop->acceptProposedAction();
        return true;
    }
    std::vector<std::string> files, folders;
    for (const QUrl& url : drop->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile()) files.push_back(url.toLocalFile().toStdString());
        else if (info.isDir())
            folders.push_back(url.toLocalFile().toStdString());
    }
    drop->acceptProposedAction();
    guarded([&] {
        const size_t before = project_.Files.size();
        BusyGuard busy(FBusy);
        project_.AddFiles(files);
        appendListEntries(before);
    });
    // A dropped folder adds what Add Folder would.
    for (const std::string& folder : folders) guarded([&] { addFolder(folder); });
    return true;
}

// Drops arrive at the list's viewport, not at the list; a filter there
// spares a list class of our own. Keys need none: they are the actions'.
bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FileListBox->viewport() &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop))
        return listDropEvent(event);
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::SetEditor(TEditorForm* editor)
{
    editor_ = editor;
    if (editor_)
        editor_->OnSaveFile = [this](QObject* sender, const QString& name) {
            if (commandDepth_ > 0) editorSaves_.push_back(name.toStdString());
            guarded([&] { InfoFileSaved(sender, name); });
        };
}

bool TMainForm::editorVisible() const
{
    return editor_ && editor_->isVisible();
}

// New, Open and closing the window ask about the editor's unsaved text as
// the editor's own close does; false when the author keeps it open.
bool TMainForm::closeEditor()
{
    if (!editorVisible()) return true;
    editor_->close();
    return !editor_->isVisible();
}

// Save and Zip write the text being edited first; false when the author
// cancelled its save dialog, which stops the command.
bool TMainForm::saveEditor()
{
    if (!editorVisible()) return true;
    editor_->SaveClick();
    return !editor_->isVisible();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (FProgress) { // the archive is being written
        event->ignore();
        return;
    }
    bool closed = false;
    guarded([&] { closed = closeEditor() && keepChanges(); });
    if (!closed) {
        event->ignore();
        return;
    }
    FBusy = true; // for good: nothing may change the project while windows go
    QMainWindow::closeEvent(event);
}

QString TMainForm::viewText(const FileText& t) const
{
    return QString::fromStdString(t.Text());
}

std::vector<int> TMainForm::selectedRows() const
{
    std::vector<int> rows;
    for (int i = 0; i < FileListBox->count(); ++i)
        if (FileListBox->item(i)->isSelected()) rows.push_back(i);
    return rows;
}

void TMainForm::fillFileList()
{
    FileListBox->clear();
    appendListEntries(0);
}

void TMainForm::appendListEntries(size_t from)
{
    for (size_t i = from; i < project_.Files.size(); ++i)
        FileListBox->addItem(QString::fromStdString(project_.Files[i]));
    refreshCheck();
    showThumbnail();
}

// The listed thumbnail, small; nothing when none is listed or it does not read.
void TMainForm::showThumbnail()
{
    QPixmap picture;
    // A pipe or device in its place would hold the window until something
    // writes to it: only a file is read.
    for (const std::string& f : project_.Files)
        if (const std::string path = project_.FullPath(f);
            EqualsNoCase(f, ThumbName) && IsRegularFile(platform::PathFromUtf8(path)))
            picture.load(QString::fromStdString(path));
    if (picture.isNull()) {
        ThumbView->setPixmap({});
        ThumbView->setText(tr("no thumbnail"));
    } else {
        ThumbView->setPixmap(
            picture.scaled(ThumbView->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
}

// A check window on screen follows the list: its findings point at list
// rows, which a changed list would leave pointing at other files.
void TMainForm::refreshCheck()
{
    if (checkDialog_ && checkDialog_->isVisible()) showCheck(CheckProject(project_));
}

void TMainForm::showCheck(const std::vector<Finding>& findings)
{
    checkDialog_->ShowFindings(findings);
    bool named = false;
    const QString folder = QString::fromStdString(GameFolderOf(project_, &named));
    if (folder.isEmpty())
        checkDialog_->ShowGameFolder(tr("No game folder beside the FM: name one with Game Folder to check what the "
                                        "FM folder lacks against the game's own resources."));
    else
        checkDialog_->ShowGameFolder(named ? tr("Game folder: %1").arg(folder)
                                           : tr("Game folder: %1 (found beside the FM)").arg(folder));
}

void TMainForm::setLangImage()
{
    const int v = project_.ViewLang;
    if (v >= 0 && v < LangCount) LangButton->setIcon(LoadIcon(QString::fromLatin1(kFlags[v])));
}

void TMainForm::showProject()
{
    hasProject_ = true;
    setLangImage();
    FMName->setText(viewText(project_.FMInfo.Names[size_t(project_.ViewLang)]));
    FMShortName->setText(viewText(project_.FMInfo.ShortName));
    FMInfoBox->show();
    MissInfoBox->hide();
    for (QAction* a : {SaveButton, FMInfoButton, ZipButton, CheckButton}) a->setEnabled(true);
    AddFileButton->setEnabled(true);
    AddFolderButton->setEnabled(true);
    LangButton->setEnabled(true);
    RemFileButton->setEnabled(!FileListBox->selectedItems().isEmpty());
    setWindowTitle(QStringLiteral("%1 \u2014 %2")
                       .arg(QString::fromStdString(project_.FMInfo.FMDir), QApplication::applicationDisplayName()));
    const int game = project_.FMInfo.Game;
    statusLabel_->SetText(
        QStringLiteral("%1  \u00b7  %2")
            .arg(game >= 0 && game < GameCount ? QString::fromUtf8(GameNames[size_t(game)]) : QString(),
                 QString::fromStdString(project_.FMInfo.FMDir)));
}

void TMainForm::showNoProject()
{
    hasProject_ = false;
    FileListBox->clear();
    FMInfoBox->hide();
    MissInfoBox->hide();
    InfoButton->hide();
    for (QAction* a : {SaveButton, FMInfoButton, ZipButton, CheckButton}) a->setEnabled(false);
    if (checkDialog_) checkDialog_->hide();
    AddFileButton->setEnabled(false);
    AddFolderButton->setEnabled(false);
    LangButton->setEnabled(false);
    RemFileButton->setEnabled(false);
    setWindowTitle(QApplication::applicationDisplayName());
    statusLabel_->SetText(tr("Start a new fan mission with New (Ctrl+N) or open a file list with Open (Ctrl+O)."));
}

void TMainForm::CreateButtonClick()
{
    if (!createDialog_ || questions_.ExecDialog(*createDialog_) != QDialog::Accepted) return;
    if (!closeEditor() || !keepChanges()) return;
    BusyGuard busy(FBusy);
    project_.New(createDialog_->Entries());
    listFile_.clear();
    fillFileList();
    showProject();
}

bool TMainForm::OpenListFile(const QString& path)
{
    bool ok = false;
    guarded([&] {
        if (!closeEditor() || !keepChanges()) return;
        BusyGuard busy(FBusy);
        ok = project_.Open(path.toStdString(), questions_);
        if (!ok) {
            showNoProject();
            return;
        }
        listFile_ = path;
        fillFileList();
        showProject();
    });
    return ok;
}

void TMainForm::OpenButtonClick()
{
    if (openDir_.isEmpty()) openDir_ = QString::fromStdString(project_.FMInfo.FMDir);
    FileRequest req{
        "Open File List", "File List|*.lst|Text File|*.txt|Any File|*.*", openDir_.toStdString(), "", "", false};
    const auto file = questions_.ChooseOpenFile(req);
    if (!file) return;
    openDir_ = QFileInfo(QString::fromStdString(*file)).absolutePath(); // the next Open starts there
    OpenListFile(QString::fromStdString(*file));
}

bool TMainForm::SaveButtonClick()
{
    if (!saveEditor()) return false;
    project_.WriteStringFiles(confirmOverwrite());
    writeRelease(false);
    // The list goes into this project's FM folder, under the name it was
    // opened or last saved by (or the short name's, after New): never
    // into the folder of the FM before.
    std::string name = listFile_.isEmpty() ? std::string() : QFileInfo(listFile_).fileName().toStdString();
    if (name.empty() && !project_.FMInfo.ShortName.Text().empty()) name = project_.FMInfo.ShortName.Text() + ".lst";
    FileRequest req{
        "Save List File", "File List|*.lst|Text File|*.txt|Any File|*.*", project_.FMInfo.FMDir, name, "", true};
    const auto file = questions_.ChooseSaveFile(req);
    if (!file) return false;
    // As for the archive: Yes to "replace?" must not cost the author a file of the FM.
    if (const std::string refusal = ListPathRefusal(project_, *file); !refusal.empty()) {
        questions_.ShowMessage(MessageKind::Error, "Lanternwright", refusal);
        return false;
    }
    project_.SaveListFile(*file);
    listFile_ = QString::fromStdString(*file);
    return true;
}

// Before New, Open or closing drops the project: its unsaved edits are
// saved (Yes), dropped (No), or the command stops (Cancel).
bool TMainForm::keepChanges()
{
    if (!hasProject_ || !project_.HasUnsavedChanges()) return true;
    switch (questions_.AskYesNoCancel("Lanternwright", SaveChangesText)) {
    // A string file the author chose not to write over still lacks the
    // names: the project stays, so they are not dropped after all.
    case Answer::Yes: return SaveButtonClick() && !project_.HasUnsavedChanges();
    case Answer::No: return true;
    case Answer::Cancel: return false;
    }
    return false;
}

ConfirmOverwrite TMainForm::confirmOverwrite()
{
    return [this](const std::string& file) {
        return questions_.AskYesNo("Lanternwright",
                                   ChangedOnDiskText(file) + "\n\nWrite the names shown here over it?") == Answer::Yes;
    };
}

void TMainForm::AddFileButtonClick()
{
    FileRequest req{"Add Files", "", project_.FMInfo.FMDir, "", "", false};
    const std::vector<std::string> files = questions_.ChooseOpenFiles(req);
    if (files.empty()) return;
    const size_t before = project_.Files.size();
    {
        BusyGuard busy(FBusy);
        project_.AddFiles(files);
        appendListEntries(before);
    }
}

void TMainForm::AddFolderButtonClick()
{
    FolderRequest req{"Add Folder",
                      "Every file below the folder you choose joins the list, except hidden files, "
                      "list files and archives.",
                      project_.FMInfo.FMDir, FolderOptions::Defaults()};
    const auto folder = questions_.ChooseFolder(req);
    if (folder) addFolder(*folder);
}

void TMainForm::addFolder(const std::string& folder)
{
    const size_t before = project_.Files.size();
    FolderAddition result;
    {
        BusyGuard busy(FBusy);
        result = project_.AddFolder(folder);
        appendListEntries(before);
    }
    questions_.ShowMessage(MessageKind::Information, "Lanternwright", result.Text(folder));
}

void TMainForm::RemFileButtonClick()
{
    {
        BusyGuard busy(FBusy);
        project_.RemoveFiles(selectedRows());
        fillFileList();
    }
    RemFileButton->setEnabled(false);
    MissInfoBox->hide();
    InfoButton->hide();
}

void TMainForm::FileListBoxClick()
{
    if (FBusy) return;
    BusyGuard busy(FBusy);
    const SelectionView view = project_.Select(selectedRows());
    RemFileButton->setEnabled(view.removeEnabled);
    InfoButton->setVisible(view.showInfoButton);
    if (view.showMissBox) showMissionBox();
    else
        MissInfoBox->hide();
}

void TMainForm::showMissionBox()
{
    const TMissInfo& m = project_.Missions[size_t(project_.CurMiss)];
    BriefingCheck->setChecked(m.Flags & mfNoBriefing);
    LoadoutCheck->setChecked(m.Flags & mfNoLoadout);
    CutsceneCheck->setChecked(m.Flags & mfCutscene);
    MissName->setText(viewText(m.LongNames[size_t(project_.ViewLang)]));
    MissShortName->setText(viewText(m.ShortNames[size_t(project_.ViewLang)]));
    MissInfoBox->show();
}

void TMainForm::LangMenuPopup()
{
    const int v = project_.ViewLang;
    if (v >= 0 && v < LangCount) LangGroup->actions()[v]->setChecked(true);
}

void TMainForm::LangMenuClick(int lang)
{
    if (lang < 0 || lang >= LangCount) return;
    project_.ViewLang = lang;
    LangGroup->actions()[lang]->setChecked(true);
    setLangImage();
    BusyGuard busy(FBusy);
    FMName->setText(viewText(project_.FMInfo.Names[size_t(lang)]));
    if (project_.CurMiss != 0) {
        const TMissInfo& m = project_.Missions[size_t(project_.CurMiss)];
        MissName->setText(viewText(m.LongNames[size_t(lang)]));
        MissShortName->setText(viewText(m.ShortNames[size_t(lang)]));
    }
}

// A typed character that the titles file's code page lacks is refused with
// a message, and the edit shows the name it had.
bool TMainForm::refuseName(THEdit* edit, const FileText& shown, int lang)
{
    const std::string refusal = project_.NameRefusal(edit->text().toStdString(), lang);
    if (refusal.empty()) return false;
    {
        BusyGuard busy(FBusy);
        const int cursor = edit->cursorPosition();
        const QString before = viewText(shown);
        const int removed = edit->text().size() - before.size();
        edit->setText(before);
        edit->setCursorPosition(qMax(0, cursor - qMax(0, removed)));
    }
    questions_.ShowMessage(MessageKind::Warning, "Lanternwright", refusal);
    return true;
}

void TMainForm::FMNameChange()
{
    if (FBusy) return;
    if (refuseName(FMName, project_.FMInfo.Names[size_t(project_.ViewLang)], project_.ViewLang)) return;
    const size_t before = project_.Files.size();
    if (project_.SetFMName(FMName->text().toStdString())) {
        BusyGuard busy(FBusy);
        appendListEntries(before);
        showJoinedNames(FMName);
    }
}

void TMainForm::FMShortNameChange()
{
    if (FBusy) return;
    std::string text = FMShortName->text().toStdString();
    if (CleanShortName(text)) {
        questions_.Beep();
        const int cursor = FMShortName->cursorPosition();
        const int removed = FMShortName->text().size() - QString::fromStdString(text).size();
        FMShortName->setText(QString::fromStdString(text)); // raises this handler again
        FMShortName->setCursorPosition(qMax(0, cursor - removed));
        return;
    }
    if (refuseName(FMShortName, project_.FMInfo.ShortName, -1)) return;
    project_.SetShortName(text);
}

void TMainForm::MissNameChange(THEdit* sender)
{
    if (FBusy || project_.CurMiss == 0) return;
    const TMissInfo& m = project_.Missions[size_t(project_.CurMiss)];
    const FileText& shown = (sender == MissShortName ? m.ShortNames : m.LongNames)[size_t(project_.ViewLang)];
    if (refuseName(sender, shown, project_.ViewLang)) return;
    const size_t before = project_.Files.size();
    if (project_.SetMissName(sender == MissShortName, sender->text().toStdString())) {
        BusyGuard busy(FBusy);
        appendListEntries(before);
        showJoinedNames(sender);
    }
}

// A titles file that joined the list brought the names its file held: the
// boxes show them, all but the one being typed in.
void TMainForm::showJoinedNames(const QLineEdit* typing)
{
    const size_t v = size_t(project_.ViewLang);
    if (typing != FMName) FMName->setText(viewText(project_.FMInfo.Names[v]));
    if (project_.CurMiss == 0) return;
    const TMissInfo& m = project_.Missions[size_t(project_.CurMiss)];
    if (typing != MissName) MissName->setText(viewText(m.LongNames[v]));
    if (typing != MissShortName) MissShortName->setText(viewText(m.ShortNames[v]));
}

void TMainForm::MissFlagCheckClick(QCheckBox* sender)
{
    if (FBusy) return;
    project_.SetMissFlag(sender->property("tag").toInt(), sender->isChecked());
}

void TMainForm::CheckButtonClick()
{
    const std::vector<Finding> findings = CheckProject(project_);
    if (!checkDialog_) {
        checkDialog_ = new TCheckDialog(this);
        checkDialog_->OnSelectEntry = [this](int entry) {
            if (entry < 0 || entry >= FileListBox->count()) return;
            FileListBox->clearSelection();
            FileListBox->setCurrentRow(entry);
            FileListBox->item(entry)->setSelected(true);
            FileListBox->scrollToItem(FileListBox->item(entry));
            activateWindow();
        };
        checkDialog_->OnAddUsed = [this] { guarded([this] { AddUsedClick(); }); };
        checkDialog_->OnChooseGameFolder = [this] { guarded([this] { GameFolderClick(); }); };
    }
    showCheck(findings);
    checkDialog_->show();
    checkDialog_->raise();
    checkDialog_->activateWindow();
}

// Adds what the missions use and the list lacks, as the check found it.
void TMainForm::AddUsedClick()
{
    std::vector<std::string> paths;
    for (const std::string& entry : FilesTheListLacks(CheckProject(project_)))
        paths.push_back(project_.FullPath(entry));
    const size_t before = project_.Files.size();
    {
        BusyGuard busy(FBusy);
        project_.AddFiles(paths);
        appendListEntries(before);
    }
    const size_t added = project_.Files.size() - before;
    questions_.ShowMessage(MessageKind::Information, "Lanternwright",
                           added == 1 ? "Added 1 file the missions use to the list."
                                      : "Added " + std::to_string(added) + " files the missions use to the list.");
}

// The game's folder, kept for the next run: the check reads its archives.
void TMainForm::GameFolderClick()
{
    const std::string start = project_.GameDir.empty() ? GameFolderOf(project_) : project_.GameDir;
    const auto folder = questions_.ChooseFolder(
        {"Game Folder", "Select the game's folder, the one with its .crf archives (or their RES folder).",
         start.empty() ? project_.FMInfo.FMDir : start, FolderOptions::Defaults()});
    if (!folder) return;
    project_.GameDir = *folder;
    QSettings().setValue(QStringLiteral("gameFolder"), QString::fromStdString(*folder));
    refreshCheck();
}

void TMainForm::ZipButtonClick()
{
    if (!saveEditor()) return;
    // Errors mean a package that will not install or play as meant; the
    // author decides. Warnings alone do not stop it.
    const std::vector<Finding> findings = CheckProject(project_);
    if (CountOf(findings, Severity::Error) > 0 &&
        questions_.AskYesNo("Lanternwright", ZipAnywayText(findings)) != Answer::Yes)
        return;
    project_.WriteStringFiles(confirmOverwrite());
    const QString proposed = QFileInfo(QString::fromStdString(DefaultArchivePath(project_))).fileName();
    FileRequest req{"", "Zip Archives|*.zip", project_.FMInfo.FMDir, proposed.toStdString(), "zip", true};
    const auto file = questions_.ChooseSaveFile(req);
    if (!file) return;
    // The dialog's "replace?" is about an archive; Yes there must not
    // cost the author a file of the FM.
    if (const std::string refusal = ArchivePathRefusal(project_, *file); !refusal.empty()) {
        questions_.ShowMessage(MessageKind::Error, "Lanternwright", refusal);
        return;
    }
    // Only a Zip that goes ahead dates the release: one given up in the
    // dialog would fix today as the day of a release still to come.
    writeRelease(true);
    ShowZipProgress();
    FMZipper.SetUnattended(false);
    PackResult result;
    try {
        result = PackProject(FMZipper, project_, *file);
    } catch (...) {
        HideZipProgress();
        FMZipper.SetUnattended(false);
        throw;
    }
    const bool stopped = FProgress && FProgress->Cancelled(); // the user's own choice needs no word
    HideZipProgress();
    FMZipper.SetUnattended(false);
    if (!result && !stopped) questions_.ShowMessage(MessageKind::Error, "Lanternwright", result.reason);
    if (result && !result.notes.empty())
        questions_.ShowMessage(MessageKind::Information, "Lanternwright", result.NotesText());
}

void TMainForm::FMInfoButtonClick()
{
    if (!editor_) return;
    if (editorVisible()) {
        editor_->close(); // may ask whether to save; the user may refuse
        if (editor_->isVisible()) return;
    }
    const TFMInfo& fm = project_.FMInfo;
    if (!fm.InfoFile.empty()) {
        editor_->LoadFile(QString::fromStdString(project_.FullPath(fm.InfoFile)));
    } else {
        const auto [levels, files] = project_.InfoMissionTexts();
        const int lang = std::clamp(fm.Language, 0, LangCount - 1);
        const char* game = fm.Game >= 0 && fm.Game < GameCount ? GameNames[size_t(fm.Game)] : "";
        const std::string text =
            MakeInfoText(fm.Names[size_t(lang)].Text(), fm.ShortName.Text() + ".zip", game, levels, files);
        editor_->NewText(QString::fromStdString(text));
        editor_->SetFileName(QString::fromStdString(fm.FMDir + "fminfo.txt"));
    }
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
}

void TMainForm::writeRelease(bool zipping)
{
    const size_t before = project_.Files.size();
    WriteRelease(project_, zipping, [this](const std::string& file) {
        return questions_.AskYesNo("Lanternwright",
                                   ChangedOnDiskText(file) + "\n\nWrite the release details shown here over it?") ==
               Answer::Yes;
    });
    BusyGuard busy(FBusy);
    appendListEntries(before);
}

void TMainForm::ReleaseButtonClick()
{
    TReleaseDialog dialog(this);
    ReleaseInfo values = project_.Release.values;
    // A first release is offered the languages of the titles and the info
    // file's author; the author unchecks what does not hold.
    if (values.tags.empty() && !project_.Release.file.Value(TagsKey)) values.tags = ProposedTags(project_);
    const int lang = std::clamp(project_.FMInfo.Language, 0, LangCount - 1);
    dialog.SetValues(values, viewText(project_.FMInfo.Names[size_t(lang)]));
    if (questions_.ExecDialog(dialog) != QDialog::Accepted) return;
    FMRelease& release = project_.Release;
    const ReleaseInfo chosen = dialog.Values();
    if (chosen != release.values || !release.Makes()) release.unsaved = true;
    release.values = chosen;
    release.wanted = true;
    refreshCheck();
}

void TMainForm::ThumbButtonClick()
{
    FileRequest req{"Thumbnail", PictureFilter(), project_.FMInfo.FMDir, "", "", false};
    const auto picture = questions_.ChooseOpenFile(req);
    if (!picture) return;
    const QByteArray jpeg = MakeThumbnail(QString::fromStdString(*picture));
    const std::filesystem::path target = ResolvePath(platform::PathFromUtf8(project_.FMInfo.FMDir), ThumbName);
    if (IsRegularFile(target) && platform::PathFromUtf8(*picture) != target &&
        questions_.AskYesNo("Lanternwright", "Replace the FM's " + platform::Utf8Of(target.filename()) +
                                                 " with a thumbnail of " + *picture + "?") != Answer::Yes)
        return;
    WriteFileAtomic(target, jpeg.toStdString());
    const size_t before = project_.Files.size();
    project_.AddFiles({platform::Utf8Of(target)});
    BusyGuard busy(FBusy);
    appendListEntries(before);
}

void TMainForm::InfoButtonClick()
{
    if (!editor_) return;
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) return;
    if (editorVisible()) {
        editor_->close();
        if (editor_->isVisible()) return;
    }
    int row = FileListBox->currentRow();
    if (row < 0 || !FileListBox->item(row)->isSelected()) row = rows.front();
    editor_->LoadFile(QString::fromStdString(project_.FullPath(project_.Files[size_t(row)])));
    editor_->show();
    editor_->raise();
    editor_->activateWindow();
}

void TMainForm::InfoFileSaved(QObject*, const QString& name)
{
    const size_t before = project_.Files.size();
    project_.InfoFileSaved(name.toStdString());
    BusyGuard busy(FBusy);
    appendListEntries(before);
}

void TMainForm::FMZipperProgress(ProgressType kind, const std::string& fileName, uint64_t size)
{
    if (!FProgress) return;
    switch (kind) {
    case ptBatchFileCount: FProgress->SetTotalFiles(size); break;
    case ptBatchByteCount: FProgress->SetTotalSize(size); break;
    case ptItemStart: FProgress->StartItem(QString::fromStdString(fileName), size); break;
    case ptItemBytes: FProgress->StepItem(size); break;
    case ptBatchEnd: FProgress->Finish(); break;
    case ptExtraStart:
    case ptExtraBytes: break;
    }
}

void TMainForm::ShowZipProgress()
{
    FProgress = new TZipProgress(this);
    centralWidget()->setEnabled(false);
    MainToolBar->setEnabled(false);
    FProgress->show();
    FProgress->raise();
    QCoreApplication::processEvents();
}

void TMainForm::HideZipProgress()
{
    if (!FProgress) return;
    FProgress->hide();
    centralWidget()->setEnabled(true);
    MainToolBar->setEnabled(true);
    delete FProgress;
    FProgress = nullptr;
}

} // namespace lw
