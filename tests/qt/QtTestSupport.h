// Helpers for tests on the real Qt widgets: the process's window system, the main dialog run
// modally with a test body inside its loop, and reactions to windows that open meanwhile.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "platform/qt/QtDialogWindow.h"
#include "platform/qt/QtWindowSystem.h"
#include "ui/MimicboxDlg.h"

// Set up by the test's main.
extern QtWindowSystem* g_pSystem;

// Starts the window system with the program's resources; returns the exit code of the test object.
int RunQtTests(QObject& test, int argc, char* argv[]);

template <typename T = QWidget>
T* Control(QWidget& window, const char* pszName)
{
    return window.findChild<T*>(QString::fromLatin1(pszName));
}

// Runs the main dialog modally and `body` inside its loop; the dialog is cancelled afterwards.
// Returns false when the body never ran.
bool RunInMainWindow(const std::function<void(QtDialogWindow&, CMimicboxDlg&)>& body);

// Runs `action` on the window that `find` returns, once it returns one.
template <typename T>
void WhenOpen(std::function<T*()> find, std::function<void(T&)> action)
{
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, find, action] {
        T* pWindow = find();
        if (!pWindow)
            return;
        pTimer->stop();
        pTimer->deleteLater();
        action(*pWindow);
    });
    pTimer->start();
}

template <typename T>
T* ActivePopupOrModal()
{
    if (T* pPopup = qobject_cast<T*>(QApplication::activePopupWidget()))
        return pPopup;
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// The window of a dialog that the main dialog runs (the About box).
QtDialogWindow* InnerDialog();

// Dismisses the next message box and hands its text to pText.
void DismissNextBox(QString* pText);
