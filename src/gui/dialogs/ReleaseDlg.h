// The "Release" dialog: what loaders show players of the FM beyond its
// titles (the name, the release date, a description and tags), which Save
// and Zip write into fm.ini. Preset tags are check boxes; authors, contests
// and series are free text.
#pragma once

#include "core/fm/FMIni.h"

#include <QDialog>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace lw {

class TReleaseDialog : public QDialog {
    Q_OBJECT
public:
    explicit TReleaseDialog(QWidget* parent = nullptr);

    // fmName is what an empty name stands for.
    void SetValues(const ReleaseInfo& values, const QString& fmName);
    ReleaseInfo Values() const;

protected:
    void done(int result) override; // refuses what fm.ini cannot hold

private:
    void showDescrLength();
    TagSheet sheet() const;

    QLineEdit* NiceNameEdit;
    QCheckBox* ReleaseDateCheck; // unchecked: the day of the first Zip
    QDateEdit* ReleaseDateEdit;
    QPlainTextEdit* DescrEdit;
    QLabel* DescrLength;
    std::vector<QCheckBox*> tagChecks_; // each holds its tag in the property "tag"
    std::vector<std::pair<std::string, QLineEdit*>> freeTextEdits_;
    QLineEdit* OtherTagsEdit;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    QString fmName_;
    std::optional<int64_t> givenDate_; // the time SetValues was given
};

} // namespace lw
