#include "support/FrameFixture.h"

#include <QApplication>

namespace tamapiko::test {

std::unique_ptr<TMainForm> startFrame(const QStringList &arguments)
{
    auto frame = std::make_unique<TMainForm>(arguments);
    frame->createStartupDialogs();
    frame->show();
    QApplication::processEvents();
    return frame;
}

ScriptedBoxes::ScriptedBoxes(QList<app::Answer> answers)
    : m_answers(std::move(answers))
{
    app::setQuestionHook([this](QWidget *, const QString &text) {
        questions << text;
        return m_answers.isEmpty() ? app::Answer::Cancel : m_answers.takeFirst();
    });
    app::setErrorBoxHook([this](QWidget *, const QString &text) { errors << text; });
}

ScriptedBoxes::~ScriptedBoxes()
{
    app::setQuestionHook({});
    app::setErrorBoxHook({});
}

} // namespace tamapiko::test
