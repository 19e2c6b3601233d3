#pragma once

// The program's message boxes: questions titled "確認" with the buttons
// "はい(&Y)", "いいえ(&N)" and "ｷｬﾝｾﾙ", errors titled "ｴﾗｰ" with "OK".

#include <QString>

#include <functional>

class QWidget;

namespace tamapiko::app {

enum class Answer { Yes, No, Cancel };

// Question icon, "はい(&Y)" the default; Esc and the close box answer Cancel.
Answer askYesNoCancel(QWidget *parent, const QString &text);

// Error icon and one "OK" button.
void showErrorBox(QWidget *parent, const QString &text);

// Tests answer questions without a modal box; an empty function restores it.
using QuestionHook = std::function<Answer(QWidget *parent, const QString &text)>;
void setQuestionHook(QuestionHook hook);
// Likewise for error boxes: the hook receives the text instead of a box.
using ErrorBoxHook = std::function<void(QWidget *parent, const QString &text)>;
void setErrorBoxHook(ErrorBoxHook hook);

} // namespace tamapiko::app
