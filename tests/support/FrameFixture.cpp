#include "support/FrameFixture.h"

#include "engine/TTextEngine.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QWindow>
#include <QTest>
#include <QTimer>

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

bool chooseMenuItem(QMainWindow *window, const QString &menuTitle, const QString &itemCaption)
{
    QMenuBar *bar = window->menuBar();
    for (QAction *action : bar->actions()) {
        if (!action->isVisible() || action->text() != menuTitle || !action->menu())
            continue;
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
        QMenu *menu = action->menu();
        if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000))
            return false;
        return clickMenuItem(menu, itemCaption);
    }
    return false;
}

bool clickMenuItem(QMenu *menu, const QString &itemCaption)
{
    for (QAction *item : menu->actions()) {
        if (!item->isVisible() || !item->text().startsWith(itemCaption))
            continue;
        if (!item->isEnabled()) {
            menu->close();
            return false;
        }
        const QPoint centre = menu->actionGeometry(item).center();
        QTest::mouseMove(menu, centre);
        QTest::mouseClick(menu, Qt::LeftButton, {}, centre);
        QApplication::processEvents();
        return true;
    }
    menu->close();
    return false;
}

void typeInto(QWidget *window, const QString &text)
{
    QWindow *handle = window->window()->windowHandle();
    for (QChar c : text)
        QTest::keyClick(handle, c.toLatin1());
    QApplication::processEvents();
}

void dropOnto(QWidget *window, QPoint position, const QMimeData *data)
{
    QWidget *target = window->childAt(position);
    if (!target)
        target = window;
    while (!target->acceptDrops() && !target->isWindow())
        target = target->parentWidget();
    const QPoint local = target->mapFrom(window, position);
    QDragEnterEvent enter(local, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return;
    QDragMoveEvent move(local, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(local), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QApplication::processEvents();
}

void whenModal(std::function<void(QWidget *modal)> act)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(modal);
    });
    poll->start();
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
