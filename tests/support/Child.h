// Finds a window's widget or action by its object name, as a test reaches
// the controls a window keeps private.
#pragma once

#include <QObject>
#include <QString>
#include <QTest>

#include <stdexcept>
#include <string>

namespace lw::test {

// The child of `parent` of type T named `name`, searched recursively. A
// missing child fails the running test with its name and stops the test
// program: every later step would use it.
template <class T>
T* Child(const QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) {
        const std::string text =
            std::string("no child named ") + name + " of the expected type in " + parent.metaObject()->className();
        QTest::qFail(text.c_str(), __FILE__, __LINE__);
        throw std::logic_error(text);
    }
    return child;
}

template <class T>
T* Child(const QObject* parent, const char* name)
{
    return Child<T>(*parent, name);
}

} // namespace lw::test
