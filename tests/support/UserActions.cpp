#include "support/UserActions.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace tamapiko::test {

void chooseMenuItem(QMainWindow *window, QMenu *menu, QAction *item)
{
    QMenuBar *bar = window->menuBar();
    const QRect title = bar->actionGeometry(menu->menuAction());
    QVERIFY2(title.isValid(), qPrintable(QStringLiteral("menu not in the menu bar: ") + menu->title()));
    QTest::mouseClick(bar, Qt::LeftButton, {}, title.center());
    QVERIFY(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    const QRect row = menu->actionGeometry(item);
    QVERIFY2(row.isValid() && item->isEnabled(), qPrintable(QStringLiteral("no enabled item ") + item->text()));
    // The click releases over the item, which runs its command; a modal
    // window it opens keeps this call until it is closed.
    QTest::mouseMove(menu, row.center());
    QTest::mouseClick(menu, Qt::LeftButton, {}, row.center());
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

} // namespace tamapiko::test
