// The questions of the windows: those of core, plus running one of our own
// modal dialogs. The program shows the real dialogs (app/QtQuestions.h);
// tests fill them in and press their buttons through a scripted
// implementation.
#pragma once

#include "core/questions/Questions.h"

class QDialog;

namespace lw {

class GuiQuestions : public Questions {
public:
    // Runs a dialog modally and returns its result (QDialog::Accepted or
    // Rejected).
    virtual int ExecDialog(QDialog& dialog) = 0;
    // A whole number between min and max; nothing when cancelled.
    virtual std::optional<int> AskNumber(const std::string& caption, const std::string& label, int value, int min,
                                         int max) = 0;
};

} // namespace lw
