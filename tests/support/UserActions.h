#pragma once

// Acting as a user does: opening the real menus with the mouse, clicking
// their items, typing into fields, choosing from lists, and answering the
// modal dialog a command shows.

#include <QApplication>
#include <QPoint>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QMenu;
class QWidget;
class TTextEngine;

namespace tamapiko::test {

// Clicks `menu`'s title in `window`'s menu bar; true once the menu shows.
bool openMenuBarMenu(QMainWindow *window, QMenu *menu);
// Clicks `item` in the open `menu` (a submenu opens, a command runs).
// False when the menu is not open or does not hold the item.
bool clickMenuItem(QMenu *menu, QAction *item);
// Opens the menu from the menu bar and clicks the item. The menu stays open
// when the item is disabled; closeMenus() takes it away.
bool chooseMenuItem(QMainWindow *window, QMenu *menu, QAction *item);
// A right click at `at` in `target`: the context menu it opens, or nullptr.
QMenu *openContextMenu(QWidget *target, QPoint at);
// Presses Esc until no popup menu is open.
void closeMenus();

// Where the caret stands at `position` in the engine's viewport: the point
// a user clicks to put it there. The caret is put back.
QPoint caretPoint(TTextEngine &engine, int position);

// Types `text` as the input method commits it (Japanese is not typed key by key).
void commitText(QWidget *target, const QString &text);

// Answers the next modal dialog of type Dialog with `answer`, which is given
// the dialog and should close it (click OK or Cancel). Set this up before
// the click that shows the dialog. answered() tells whether it came.
class DialogAnswer
{
public:
    bool answered() const { return *m_answered; }

    template<typename Dialog>
    static DialogAnswer expect(std::function<void(Dialog *)> answer)
    {
        DialogAnswer result;
        result.watch([answer](QWidget *modal) {
            auto *dialog = qobject_cast<Dialog *>(modal);
            if (!dialog)
                return false;
            answer(dialog);
            return true;
        });
        return result;
    }

private:
    void watch(std::function<bool(QWidget *)> tryAnswer);
    std::shared_ptr<bool> m_answered = std::make_shared<bool>(false);
};

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
