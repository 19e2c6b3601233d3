#pragma once

// Starting the frame as the program does, for the GUI tests, and answering
// its modal questions without boxes.

#include "app/MessageBoxes.h"
#include "app/TMainForm.h"

#include <QStringList>

#include <memory>

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
