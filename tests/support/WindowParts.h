// The controls the window tests reach most often, by the names the windows
// give them.
#pragma once

#include "gui/editor/OLERichEdit.h"
#include "support/Child.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>

namespace lw::test {

// Shows a window and makes it the active one, as the window the author
// types in: a window's key shortcuts act only while it is active.
inline bool activate(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

// The main window's file list.
inline QListWidget* fileList(const QObject& mainForm)
{
    return Child<QListWidget>(mainForm, "FileListBox");
}

// The editor window's text.
inline TOLEEdit* editText(const QObject& editor)
{
    return Child<TOLEEdit>(editor, "EditText");
}

} // namespace lw::test
