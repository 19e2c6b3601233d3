#include "support/FrameFixture.h"

#include "engine/TTextEngine.h"

#include <QApplication>
#include <QDir>
#include <QTest>

namespace tamapiko::test {

namespace {

// The frame checks and writes the .txm association at start-up and exit. CTest
// gives every test XDG folders of its own; a test program started by hand
// gets private ones here, so it never rewrites the desktop settings of
// whoever runs it.
void keepDesktopSettingsPrivate()
{
    if (qEnvironmentVariableIsSet("TAMAPIKO_TESTING"))
        return;
    const QString base = QDir::tempPath() + QStringLiteral("/tamapiko-test-xdg-%1").arg(QCoreApplication::applicationPid());
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
        const QString folder = base + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(folder);
        qputenv(name, QFile::encodeName(folder));
    }
    qputenv("TAMAPIKO_TESTING", "1");
}

} // namespace

std::unique_ptr<TMainForm> startFrame(const QStringList &arguments)
{
    keepDesktopSettingsPrivate();
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
