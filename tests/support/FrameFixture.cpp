#include "support/FrameFixture.h"

#include "engine/TTextEngine.h"

#include <QApplication>
#include <QTest>

namespace tamapiko::test {

std::unique_ptr<TMainForm> startFrame(const QStringList &arguments)
{
    auto frame = std::make_unique<TMainForm>(arguments);
    frame->createStartupDialogs();
    frame->show();
    QApplication::processEvents();
    return frame;
}

bool engineIsReal()
{
    TTextEngine engine;
    engine.setZoomFactor(150);
    return engine.ZoomFactor() == 150;
}

bool activate(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
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
