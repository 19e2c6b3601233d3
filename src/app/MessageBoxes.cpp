#include "app/MessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace tamapiko::app {

namespace {
QuestionHook &questionHook()
{
    static QuestionHook hook;
    return hook;
}
ErrorBoxHook &errorBoxHook()
{
    static ErrorBoxHook hook;
    return hook;
}
} // namespace

Answer askYesNoCancel(QWidget *parent, const QString &text)
{
    if (questionHook())
        return questionHook()(parent, text);

    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), text, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    QPushButton *cancel = box.addButton(QStringLiteral("ｷｬﾝｾﾙ"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    return Answer::Cancel;
}

void showErrorBox(QWidget *parent, const QString &text)
{
    if (errorBoxHook()) {
        errorBoxHook()(parent, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("ｴﾗｰ"), text, QMessageBox::NoButton, parent);
    box.setDefaultButton(box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
    box.exec();
}

void setQuestionHook(QuestionHook hook)
{
    questionHook() = std::move(hook);
}

void setErrorBoxHook(ErrorBoxHook hook)
{
    errorBoxHook() = std::move(hook);
}

} // namespace tamapiko::app
