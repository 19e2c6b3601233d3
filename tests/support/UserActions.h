#pragma once

// Driving the program as a user does: opening a menu from the menu bar and
// clicking one of its items, typing into a field, and answering a modal
// window that the action opens.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

class QAction;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QMenu;

namespace tamapiko::test {

// Clicks `menu`'s title in `window`'s menu bar, then `item` in the menu
// that opens. Returns when the item's command has returned.
void chooseMenuItem(QMainWindow *window, QMenu *menu, QAction *item);

// Replaces the text of `field` as typed: focus, select all, the keys.
void typeInto(QLineEdit *field, const QString &text);

// Clicks the middle of `widget`.
void click(QWidget *widget);

// Opens `box`'s list with a click and clicks the entry `index`.
void chooseEntry(QComboBox *box, int index);

// Calls `answer` with the first visible top-level window of type Window as
// soon as one shows. For a modal window an action opens: call this first,
// then the action; `answer` must close the window.
template<typename Window>
void whenShown(std::function<void(Window *)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<Window *>(widget);
            if (window && window->isVisible()) {
                poll->stop();
                poll->deleteLater();
                answer(window);
                return;
            }
        }
    });
    poll->start();
}

} // namespace tamapiko::test
