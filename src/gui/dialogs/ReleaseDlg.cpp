#include "gui/dialogs/ReleaseDlg.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace lw {

namespace {

// Check boxes in rows of columns.
QGridLayout* checkGrid(const std::vector<QCheckBox*>& boxes, int columns)
{
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < boxes.size(); ++i) grid->addWidget(boxes[i], int(i) / columns, int(i) % columns);
    return grid;
}

QString captionOf(const char* name)
{
    QString s = QString::fromUtf8(name);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    return s;
}

} // namespace

TReleaseDialog::TReleaseDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Release"));
    setObjectName(QStringLiteral("ReleaseDialog"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    NiceNameEdit = new QLineEdit;
    NiceNameEdit->setObjectName(QStringLiteral("NiceNameEdit"));
    NiceNameEdit->setToolTip(tr("The name loaders show; left empty, the FM name"));

    ReleaseDateCheck = new QCheckBox(tr("Released on"));
    ReleaseDateCheck->setObjectName(QStringLiteral("ReleaseDateCheck"));
    ReleaseDateEdit = new QDateEdit(QDate::currentDate());
    ReleaseDateEdit->setObjectName(QStringLiteral("ReleaseDateEdit"));
    ReleaseDateEdit->setCalendarPopup(true);
    ReleaseDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    ReleaseDateEdit->setMinimumDate(QDate(1998, 1, 1));
    ReleaseDateEdit->setEnabled(false);
    auto* firstZip = new QLabel(tr("(not set: the day of the first Zip)"));
    connect(ReleaseDateCheck, &QCheckBox::toggled, ReleaseDateEdit, &QWidget::setEnabled);
    connect(ReleaseDateCheck, &QCheckBox::toggled, firstZip, &QWidget::setHidden);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(ReleaseDateCheck);
    dateRow->addWidget(ReleaseDateEdit);
    dateRow->addWidget(firstZip, 1);

    DescrEdit = new QPlainTextEdit;
    DescrEdit->setObjectName(QStringLiteral("DescrEdit"));
    DescrEdit->setTabChangesFocus(true);
    DescrEdit->setFixedHeight(DescrEdit->fontMetrics().lineSpacing() * 5 + 12);
    DescrLength = new QLabel;
    DescrLength->setObjectName(QStringLiteral("DescrLength"));
    connect(DescrEdit, &QPlainTextEdit::textChanged, this, &TReleaseDialog::showDescrLength);

    auto* top = new QFormLayout;
    top->addRow(tr("&Name players see"), NiceNameEdit);
    auto* dateLabel = new QLabel(tr("Release &date"));
    dateLabel->setBuddy(ReleaseDateCheck);
    top->addRow(dateLabel, dateRow);
    top->addRow(tr("De&scription"), DescrEdit);
    top->addRow(QString(), DescrLength);

    // The preset tags, a box each; the free-text categories, an edit each.
    auto* tagBox = new QGroupBox(tr("Tags"));
    auto* tagForm = new QFormLayout(tagBox);
    auto presetBoxes = [&](const std::string& category, const std::vector<const char*>& presets) {
        std::vector<QCheckBox*> boxes;
        for (const char* t : presets) {
            const std::string tag = category.empty() ? std::string(t) : category + ":" + t;
            auto* box = new QCheckBox(QString::fromUtf8(t));
            box->setObjectName(QStringLiteral("Tag:") + QString::fromStdString(tag));
            box->setProperty("tag", QString::fromStdString(tag));
            boxes.push_back(box);
            tagChecks_.push_back(box);
        }
        return boxes;
    };
    for (const TagCategory& c : TagCategories) {
        if (!c.presets.empty()) {
            tagForm->addRow(captionOf(c.name), checkGrid(presetBoxes(c.name, c.presets), 4));
            continue;
        }
        auto* edit = new QLineEdit;
        edit->setObjectName(captionOf(c.name) + QStringLiteral("Tags"));
        edit->setToolTip(tr("Free text; commas part several"));
        freeTextEdits_.emplace_back(c.name, edit);
        tagForm->addRow(captionOf(c.name), edit);
    }
    tagForm->addRow(tr("Other"), checkGrid(presetBoxes("", PlainTags), 3));
    OtherTagsEdit = new QLineEdit;
    OtherTagsEdit->setObjectName(QStringLiteral("OtherTagsEdit"));
    OtherTagsEdit->setToolTip(tr("Further tags, \"category:tag\" or a tag alone, commas between them"));
    tagForm->addRow(tr("More tags"), OtherTagsEdit);

    auto* buttons = new QDialogButtonBox;
    OkButton = buttons->addButton(QDialogButtonBox::Ok);
    CancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    // Enter means OK wherever the focus is: Cancel, once tabbed through,
    // would otherwise stay the default and drop what was typed.
    CancelButton->setAutoDefault(false);
    OkButton->setAutoDefault(true);
    OkButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tagBox);
    layout->addWidget(buttons);
    showDescrLength();
}

void TReleaseDialog::SetValues(const ReleaseInfo& values, const QString& fmName)
{
    fmName_ = fmName;
    NiceNameEdit->setPlaceholderText(fmName);
    NiceNameEdit->setText(QString::fromStdString(values.niceName));
    givenDate_ = values.releaseDate;
    ReleaseDateCheck->setChecked(bool(values.releaseDate));
    if (values.releaseDate) {
        int y = 0, m = 0, d = 0;
        DayOfReleaseTime(*values.releaseDate, y, m, d);
        ReleaseDateEdit->setMinimumDate(std::min(QDate(y, m, d), QDate(1998, 1, 1)));
        ReleaseDateEdit->setDate(QDate(y, m, d));
    }
    DescrEdit->setPlainText(QString::fromStdString(values.descr));
    const TagSheet tags = SortTags(values.tags);
    for (QCheckBox* box : tagChecks_) {
        const std::string tag = box->property("tag").toString().toStdString();
        box->setChecked(std::find(tags.checked.begin(), tags.checked.end(), tag) != tags.checked.end());
    }
    for (const auto& [category, edit] : freeTextEdits_)
        for (const auto& [name, text] : tags.freeText)
            if (name == category) edit->setText(QString::fromStdString(text));
    OtherTagsEdit->setText(QString::fromStdString(tags.other));
}

TagSheet TReleaseDialog::sheet() const
{
    TagSheet s;
    for (QCheckBox* box : tagChecks_)
        if (box->isChecked()) s.checked.push_back(box->property("tag").toString().toStdString());
    for (const auto& [category, edit] : freeTextEdits_) s.freeText.emplace_back(category, edit->text().toStdString());
    s.other = OtherTagsEdit->text().toStdString();
    return s;
}

ReleaseInfo TReleaseDialog::Values() const
{
    ReleaseInfo v;
    const QString name = NiceNameEdit->text().trimmed();
    if (name != fmName_) v.niceName = name.toStdString(); // the FM name is what an empty one stands for
    if (ReleaseDateCheck->isChecked()) {
        const QDate day = ReleaseDateEdit->date();
        int y = 0, m = 0, d = 0;
        if (givenDate_) DayOfReleaseTime(*givenDate_, y, m, d);
        // The time read keeps its bytes unless another day was picked.
        v.releaseDate =
            givenDate_ && QDate(y, m, d) == day ? *givenDate_ : ReleaseTimeOfDay(day.year(), day.month(), day.day());
    }
    v.descr = DescrEdit->toPlainText().toStdString();
    v.tags = TagsOf(sheet()).value_or(std::vector<std::string>{});
    return v;
}

void TReleaseDialog::showDescrLength()
{
    const size_t n = Utf8Length(EscapeDescr(DescrEdit->toPlainText().toStdString()));
    DescrLength->setText(tr("%1 of %2 characters").arg(n).arg(MaxDescrLength));
    DescrLength->setStyleSheet(n > MaxDescrLength ? QStringLiteral("color: #c00000") : QString());
}

void TReleaseDialog::done(int result)
{
    if (result == QDialog::Accepted) {
        if (!DescrFits(DescrEdit->toPlainText().toStdString())) {
            DescrEdit->setFocus();
            return;
        }
        std::string bad;
        if (!TagsOf(sheet(), &bad)) {
            QLineEdit* edit = OtherTagsEdit;
            for (const auto& [category, e] : freeTextEdits_)
                if (category == bad) edit = e;
            edit->setFocus();
            return;
        }
    }
    QDialog::done(result);
}

} // namespace lw
