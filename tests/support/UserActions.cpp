#include "support/UserActions.h"

#include "engine/TTextEngine.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <cstdlib>

namespace tamapiko::test {

namespace {
constexpr int DialogWaitMs = 5000;
constexpr int PollMs = 10;
} // namespace

bool openMenuBarMenu(QMainWindow *window, QMenu *menu)
{
    QMenuBar *bar = window->menuBar();
    const QRect title = bar->actionGeometry(menu->menuAction());
    if (!title.isValid() || !bar->actions().contains(menu->menuAction()))
        return false;
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, title.center());
    return QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000);
}

bool clickMenuItem(QMenu *menu, QAction *item)
{
    if (!menu->isVisible() || !menu->actions().contains(item))
        return false;
    const QRect place = menu->actionGeometry(item);
    QTest::mouseMove(menu, place.center());
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, place.center());
    if (QMenu *submenu = item->menu())
        return QTest::qWaitFor([submenu] { return submenu->isVisible(); }, 2000);
    return true;
}

bool chooseMenuItem(QMainWindow *window, QMenu *menu, QAction *item)
{
    return openMenuBarMenu(window, menu) && clickMenuItem(menu, item);
}

QMenu *openContextMenu(QWidget *target, QPoint at)
{
    // What the window system delivers for the right button's click.
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    QMenu *shown = nullptr;
    QTest::qWaitFor([&shown] {
        shown = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        return shown != nullptr;
    }, 2000);
    return shown;
}

void closeMenus()
{
    for (int i = 0; i < 5 && QApplication::activePopupWidget(); ++i)
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
}

void commitText(QWidget *target, const QString &text)
{
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(target, &commit);
}

void DialogAnswer::watch(std::function<bool(QWidget *)> tryAnswer)
{
    auto answered = m_answered;
    auto *timer = new QTimer;
    timer->setInterval(PollMs);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, answered, waited, tryAnswer] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && tryAnswer(modal))
            *answered = true;
        *waited += PollMs;
        if (*answered || *waited > DialogWaitMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        QTest::keyClicks(field, text);
}

void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void chooseEntry(QComboBox *box, int index)
{
    // The list opens with a click; the entry is reached with the arrow keys
    // and taken with Enter (a click right after opening is ignored, as the
    // release of the opening click would be).
    click(box);
    QAbstractItemView *list = box->view();
    QVERIFY(QTest::qWaitFor([list] { return list->isVisible(); }));
    const int steps = index - box->currentIndex();
    for (int i = 0; i < std::abs(steps); ++i)
        QTest::keyClick(list, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([list] { return !list->isVisible(); }));
}

QPoint caretPoint(TTextEngine &engine, int position)
{
    const int saved = engine.SelStart();
    engine.setSelStart(position);
    const QRect caret = static_cast<QWidget &>(engine).inputMethodQuery(Qt::ImCursorRectangle).toRect();
    engine.setSelStart(saved);
    return caret.center() - engine.viewport()->pos();
}

} // namespace tamapiko::test
