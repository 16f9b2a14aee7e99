#include "gui/main/Application.h"

#include <QMessageBox>

#include <exception>

namespace lw {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("An unexpected error occurred.");
    }
    return false;
}

void TApplication::report(const std::string& text) noexcept
{
    // The message box runs an event loop of its own; an error raised inside
    // it must not open a second box over the first.
    if (reporting_) return;
    reporting_ = true;
    try {
        if (onError_) onError_(text);
        else
            QMessageBox::critical(activeWindow(), applicationDisplayName(), QString::fromStdString(text));
    } catch (...) {
        // Nothing is left to show it with; the program goes on.
    }
    reporting_ = false;
}

} // namespace lw
