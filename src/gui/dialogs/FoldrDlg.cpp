#include "gui/dialogs/FoldrDlg.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace lw {

namespace {

QString ToQt(const std::string& s)
{
    return QString::fromStdString(s);
}
std::string FromQt(const QString& s)
{
    return s.toStdString();
}

// Qt's chooser, refusing anything that is not an existing directory without
// a word (Qt's own chooser would show a message box).
class DirectoryChooser : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    bool realDirsOnly = true;

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (realDirsOnly && (files.isEmpty() || !QFileInfo(files.first()).isDir())) {
            QApplication::beep();
            return;
        }
        QFileDialog::accept();
    }
};

// A path the way callers want it: no trailing separator but for the root.
QString CleanFolder(const QString& path)
{
    if (path.isEmpty()) return {};
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

} // namespace

TFolderDialog::TFolderDialog(QWidget* owner)
    : QObject(owner), owner_(owner), title_(QStringLiteral("Browse for Folder"))
{
}

TFolderDialog::~TFolderDialog()
{
    if (dialog_) dialog_->reject();
}

QString TFolderDialog::Title() const
{
    return dialog_ ? dialog_->windowTitle() : title_;
}

void TFolderDialog::SetTitle(const QString& title)
{
    title_ = title;
    if (dialog_) dialog_->setWindowTitle(title);
}

void TFolderDialog::SetText(const QString& text)
{
    text_ = text;
}

QString TFolderDialog::Directory() const
{
    if (dialog_ && chooser_) {
        const QStringList files = chooser_->selectedFiles();
        const QString path = files.isEmpty() ? chooser_->directory().absolutePath() : files.first();
        return QFileInfo(path).isDir() ? CleanFolder(path) : QString();
    }
    return directory_;
}

void TFolderDialog::SetDirectory(const QString& directory)
{
    directory_ = directory;
    const QString path = ToQt(SelectableFolder(FromQt(directory)));
    if (path == selection_) return;
    selection_ = path;
    if (dialog_ && chooser_ && !path.isEmpty()) chooser_->setDirectory(path);
}

void TFolderDialog::SetOptions(FolderOptions options)
{
    const FolderOptionsChange change = ApplyFolderOptions(options_, options);
    options_ = change.options;
    if (change.rootBecomesNetwork) root_ = ShellFolder::Network;
}

void TFolderDialog::SetLeft(int left)
{
    left_ = left;
    if (dialog_) Place();
}

void TFolderDialog::SetTop(int top)
{
    top_ = top;
    if (dialog_) Place();
}

QWidget* TFolderDialog::ParentWindow() const
{
    if (owner_) return owner_->window();
    return QApplication::activeWindow();
}

QString TFolderDialog::RootPath() const
{
    switch (root_) {
    case ShellFolder::Desktop:
    case ShellFolder::DesktopDirectory:
    case ShellFolder::CommonDesktopDirectory: return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    case ShellFolder::Personal: return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case ShellFolder::AppData: return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    case ShellFolder::Fonts: return QStandardPaths::writableLocation(QStandardPaths::FontsLocation);
    case ShellFolder::MyComputer: return QDir::rootPath();
    default: return {};
    }
}

void TFolderDialog::Place()
{
    QWidget* parent = ParentWindow();
    const QSize size = dialog_->frameGeometry().size();
    QPoint pos;
    if (options_.Has(FolderOption::ParentCenter) && parent) {
        const QRect p = parent->frameGeometry();
        pos = QPoint(p.left() + p.width() / 2 - size.width() / 2, p.top() + p.height() / 4);
    } else if (options_.Has(FolderOption::ScreenCenter) || options_.Has(FolderOption::ParentCenter)) {
        QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
        const QRect s = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        pos = QPoint(s.left() + (s.width() - size.width()) / 2, s.top() + (s.height() - size.height()) / 3);
    } else {
        pos = parent ? parent->mapToGlobal(QPoint(left_, top_)) : QPoint(left_, top_);
    }
    dialog_->move(pos);
    KeepOnScreen();
}

void TFolderDialog::KeepOnScreen()
{
    // Over a window near the screen's edge the dialog would hang off it:
    // keep the whole of it, frame included, on the screen of its owner.
    QWidget* parent = ParentWindow();
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect s = screen->availableGeometry();
    const QRect frame = dialog_->frameGeometry();
    QPoint pos = dialog_->pos();
    pos.setX(qBound(s.left(), pos.x(), qMax(s.left(), s.right() + 1 - frame.width())));
    pos.setY(qBound(s.top(), pos.y(), qMax(s.top(), s.bottom() + 1 - frame.height())));
    if (pos != dialog_->pos()) dialog_->move(pos);
}

void TFolderDialog::SelectionMoved(const QString& path)
{
    const bool real = !path.isEmpty() && QFileInfo(path).isDir();
    if (status_) {
        if (real && options_.Has(FolderOption::ShowPathInStatusArea)) {
            const QString shown = CleanFolder(path);
            status_->setToolTip(shown);
            status_->setText(status_->fontMetrics().elidedText(shown, Qt::ElideMiddle, qMax(80, status_->width())));
        } else if (!real) {
            status_->clear();
        }
    }
    if (real) emit changed(CleanFolder(path));
}

bool TFolderDialog::Execute()
{
    QDialog dialog(ParentWindow());
    dialog.setWindowTitle(title_);
    dialog.setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(&dialog);

    if (!text_.isEmpty()) {
        auto* label = new QLabel(text_, &dialog);
        label->setObjectName(QStringLiteral("instruction"));
        label->setWordWrap(true);
        layout->addWidget(label);
    }

    auto* chooser = new DirectoryChooser(&dialog);
    chooser->setObjectName(QStringLiteral("chooser"));
    chooser->setWindowFlags(Qt::Widget); // part of our dialog, not a window of its own
    chooser->setOption(QFileDialog::DontUseNativeDialog, true);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly, !options_.Has(FolderOption::BrowseIncludeFiles));
    chooser->setAcceptMode(QFileDialog::AcceptOpen);
    chooser->setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
    chooser->realDirsOnly = options_.Has(FolderOption::FileSysDirsOnly);
    const QString root = RootPath();
    if (!selection_.isEmpty()) chooser->setDirectory(selection_);
    else if (!root.isEmpty())
        chooser->setDirectory(root);
    else
        chooser->setDirectory(QDir::homePath()); // not Qt's last visited folder
    layout->addWidget(chooser, 1);

    if (options_.Has(FolderOption::StatusText)) {
        status_ = new QLabel(&dialog);
        status_->setObjectName(QStringLiteral("status"));
        status_->setTextFormat(Qt::PlainText);
        layout->addWidget(status_);
    }

    connect(chooser, &QFileDialog::currentChanged, this, &TFolderDialog::SelectionMoved);
    connect(chooser, &QFileDialog::directoryEntered, this, &TFolderDialog::SelectionMoved);
    connect(chooser, &QFileDialog::finished, &dialog, &QDialog::done);

    dialog_ = &dialog;
    chooser_ = chooser;
    dialog.resize(560, 420);
    Place();
    // The frame is known only once the dialog is shown.
    QTimer::singleShot(0, &dialog, [this] {
        if (dialog_) KeepOnScreen();
    });
    if (status_) SelectionMoved(chooser->directory().absolutePath());
    emit shown();

    const bool ok = dialog.exec() == QDialog::Accepted;
    QString chosen;
    if (ok) {
        const QStringList files = chooser->selectedFiles();
        chosen = CleanFolder(files.isEmpty() ? chooser->directory().absolutePath() : files.first());
    }
    dialog_ = nullptr;
    chooser_ = nullptr;
    status_ = nullptr;
    if (QWidget* parent = ParentWindow()) parent->activateWindow();
    emit closed();

    directory_ = ok ? chosen : QString();
    selection_ = ok ? ToQt(SelectableFolder(FromQt(chosen))) : QString();
    return ok && !chosen.isEmpty();
}

} // namespace lw
