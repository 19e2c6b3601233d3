#pragma once

// Starting the frame as the program does, for the GUI tests, and answering
// its modal questions without boxes.

#include "app/MessageBoxes.h"
#include "app/TMainForm.h"

#include <QStringList>

#include <functional>
#include <memory>

class QMainWindow;
class QMenu;
class QMimeData;
class QStatusBar;

namespace tamapiko::test {

// Frame, start-up dialogs, first showing: the program's start with `arguments`.
std::unique_ptr<TMainForm> startFrame(const QStringList &arguments = {});

// True once the text engine keeps what it is given (not a placeholder).
bool engineIsReal();
#define TAMAPIKO_REQUIRE_ENGINE()                                                        \
    if (!tamapiko::test::engineIsReal())                                                  \
        QSKIP("the text engine does not keep its properties yet");

// Makes the frame the active window, so that focus moves as for a user.
bool activate(QWidget *window);

// Opens the menu titled `menuTitle` in `window`'s menu bar with a click and
// clicks its item whose caption starts with `itemCaption`, as a user does.
// False when the menu or the item is not there or not enabled.
bool chooseMenuItem(QMainWindow *window, const QString &menuTitle, const QString &itemCaption);
// Clicks the item of an open pop-up menu whose caption starts with `itemCaption`.
bool clickMenuItem(QMenu *menu, const QString &itemCaption);
// Types `text` (ASCII) into whatever has the keyboard focus in `window`.
void typeInto(QWidget *window, const QString &text);
// Drags `data` over `window` at `position` (window coordinates) and drops
// it there, delivered as the window system does: to the widget under the
// pointer that accepts drops, on to its parents while they ignore it.
void dropOnto(QWidget *window, QPoint position, const QMimeData *data);

// Runs `act` on the next modal window to appear (a dialog opened by a menu
// item the test is about to click), from inside its event loop.
void whenModal(std::function<void(QWidget *modal)> act);

// What the status bar's text shows now.
template<typename Bar>
QString statusText(const Bar *bar)
{
    if constexpr (requires { bar->Text(); })
        return bar->Text();
    else if constexpr (requires { bar->text(); })
        return bar->text();
    else
        return bar->currentMessage();
}

// Records every question and error and answers questions from a script
// (Cancel once the script runs out). Restores the real boxes when destroyed.
class ScriptedBoxes
{
public:
    explicit ScriptedBoxes(QList<app::Answer> answers = {});
    ~ScriptedBoxes();

    QStringList questions;
    QStringList errors;

private:
    QList<app::Answer> m_answers;
};

} // namespace tamapiko::test
