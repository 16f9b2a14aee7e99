// The application object. Its one addition to QApplication is the last
// guard of the program: an error that escapes an event handler is shown to
// the author as a message, and the program goes on with every window open,
// instead of ending and taking unsaved work with it.
#pragma once

#include <QApplication>

#include <functional>
#include <string>

namespace lw {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Shows the text of an error that reached the event loop; a message box
    // over the active window unless set.
    void SetErrorHandler(std::function<void(const std::string&)> handler) { onError_ = std::move(handler); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void report(const std::string& text) noexcept;

    std::function<void(const std::string&)> onError_;
    bool reporting_ = false;
};

} // namespace lw
