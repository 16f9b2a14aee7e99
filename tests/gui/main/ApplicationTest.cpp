// The application's last guard: an error that escapes an event handler is
// shown, and the event loop goes on.
#include "gui/main/Application.h"

#include <QTest>
#include <QTimer>

#include <stdexcept>
#include <string>
#include <vector>

using namespace lw;

namespace {

// Throws from its event handler, as a command without a guard of its own would.
class Thrower : public QObject {
public:
    int handled = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User) return QObject::event(e);
        ++handled;
        throw std::runtime_error("Cannot write \"fminfo.txt\": No space left on device.");
    }
};

} // namespace

class ApplicationTest : public QObject {
    Q_OBJECT
private slots:
    void errorsFromEventHandlersAreShown();
};

void ApplicationTest::errorsFromEventHandlersAreShown()
{
    auto* app = qobject_cast<TApplication*>(QCoreApplication::instance());
    QVERIFY(app);
    std::vector<std::string> shown;
    app->SetErrorHandler([&](const std::string& text) { shown.push_back(text); });

    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    // The loop runs on after both errors and ends only when asked.
    QTimer::singleShot(0, app, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 7);
    QCOMPARE(thrower.handled, 2);
    QCOMPARE(shown, (std::vector<std::string>(2, "Cannot write \"fminfo.txt\": No space left on device.")));
    app->SetErrorHandler({});
}

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ApplicationTest.moc"
