// The 表 menus, the table button and the paragraph frame command, used as a
// user does: open the menu, click the item, answer the dialog.

#include "app/TMainForm.h"
#include "dialogs/TOKRightDlg.h"
#include "dialogs/TOKRightDlg1.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "engine/dialogs/ParagraphDialog.h"
#include "support/FrameFixture.h"
#include "support/UserActions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QToolButton>
#include <QtTest>

using namespace tamapiko::test;

namespace {

QTextTable *tableAtCaret(TTextEngine *engine)
{
    return engine->textCursor().currentTable();
}

// Types into a box as a user does: select what is there, type over it.
void typeInto(QComboBox *box, const QString &text)
{
    box->lineEdit()->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box->lineEdit(), c.toLatin1());
        else
            commitText(box->lineEdit(), c);
    }
}

struct FrameChoice
{
    QStringList checked;         // object names of the boxes to check, others are cleared
    QString lineWidth;           // typed; a null string leaves the box alone
    QString distance;
};

} // namespace

class tst_TableAndFrameCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMainForm> frame;
    TMDIChild *window = nullptr;
    TTextEngine *engine = nullptr;

    // Chooses 表 > 挿入 and answers the insert dialog with rows and columns
    // (null strings keep the dialog's own choice); false when no dialog came.
    bool insertTableFromMenu(const QString &rows, const QString &columns, bool ok = true)
    {
        auto answer = DialogAnswer::expect<TOKRightDlg>([&](TOKRightDlg *dialog) {
            if (!rows.isNull())
                typeInto(dialog->cboRows, rows);
            if (!columns.isNull())
                typeInto(dialog->cboColumns, columns);
            QTest::mouseClick(ok ? dialog->OKBtn : dialog->CancelBtn, Qt::LeftButton);
        });
        if (!chooseMenuItem(frame.get(), window->Table1, window->Insert3))
            return false;
        return QTest::qWaitFor([&] { return answer.answered(); }, 3000);
    }

    // Chooses 書式 > 段落の枠線 and answers the frame dialog; `seen` gets the
    // dialog as it came up.
    void frameFromMenu(const FrameChoice &choice, std::function<void(TOKRightDlg1 *)> seen = {}, bool ok = true)
    {
        auto answer = DialogAnswer::expect<TOKRightDlg1>([&](TOKRightDlg1 *dialog) {
            if (seen)
                seen(dialog);
            for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
                if (box->isChecked() != choice.checked.contains(box->objectName()))
                    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
            }
            if (!choice.lineWidth.isNull())
                typeInto(dialog->cboLineWidth, choice.lineWidth);
            if (!choice.distance.isNull())
                typeInto(dialog->cboTextDistance, choice.distance);
            QTest::mouseClick(ok ? dialog->OKBtn : dialog->CancelBtn, Qt::LeftButton);
        });
        QVERIFY(chooseMenuItem(frame.get(), window->Format1, window->MenuItem11));
        QVERIFY(QTest::qWaitFor([&] { return answer.answered(); }, 3000));
    }

private slots:
    void init()
    {
        frame = startFrame();
        window = frame->activeDocument();
        QVERIFY(window);
        engine = window->TextEngine1;
        QVERIFY(activate(frame.get()));
    }

    void cleanup()
    {
        closeMenus();
        window->Modified = false;
        frame.reset();
    }

    void insertDialogStartsAtTwoByTwoEveryTime()
    {
        commitText(engine, QStringLiteral("表の前"));
        QString rowsSeen;
        QString columnsSeen;
        int rowEntries = 0;
        int columnEntries = 0;
        auto answer = DialogAnswer::expect<TOKRightDlg>([&](TOKRightDlg *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("表の挿入"));
            rowsSeen = dialog->cboRows->currentText();
            columnsSeen = dialog->cboColumns->currentText();
            rowEntries = dialog->cboRows->count();
            columnEntries = dialog->cboColumns->count();
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        QVERIFY(openMenuBarMenu(frame.get(), window->Table1));
        QVERIFY(window->Insert3->isEnabled());
        QVERIFY(!window->Attr3->isEnabled());
        QVERIFY(!window->Del_Lines3->isEnabled());
        QVERIFY(window->MGridLines->isEnabled());
        QVERIFY(clickMenuItem(window->Table1, window->Insert3));
        QVERIFY(QTest::qWaitFor([&] { return answer.answered(); }, 3000));
        QCOMPARE(rowsSeen, QStringLiteral("2"));
        QCOMPARE(columnsSeen, QStringLiteral("2"));
        QCOMPARE(rowEntries, 100);
        QCOMPARE(columnEntries, 12);

        // The caret waits in the first cell of a 2 x 2 table.
        QTextTable *table = tableAtCaret(engine);
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        QVERIFY(engine->TableCanChangeAttr());
        QVERIFY(!frame->BtnTable1->isEnabled());

        // Inside the table the menu turns round.
        QVERIFY(openMenuBarMenu(frame.get(), window->Table1));
        QVERIFY(!window->Insert3->isEnabled());
        QVERIFY(window->Attr3->isEnabled());
        QVERIFY(window->Del_Lines3->isEnabled());
        closeMenus();

        // Out of the table (there is a paragraph after it), a second showing
        // has the same entries and "2" again though "7" was typed last time.
        QTest::keyClick(engine, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(!engine->TableCanChangeAttr());
        QVERIFY(frame->BtnTable1->isEnabled());
        auto second = DialogAnswer::expect<TOKRightDlg>([&](TOKRightDlg *dialog) {
            rowEntries = dialog->cboRows->count();
            rowsSeen = dialog->cboRows->currentText();
            typeInto(dialog->cboRows, QStringLiteral("7"));
            QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
        });
        QVERIFY(chooseMenuItem(frame.get(), window->Table1, window->Insert3));
        QVERIFY(QTest::qWaitFor([&] { return second.answered(); }, 3000));
        QCOMPARE(rowEntries, 100);
        QCOMPARE(rowsSeen, QStringLiteral("2"));
        QVERIFY(!engine->TableCanChangeAttr());   // cancelled: nothing inserted

        auto third = DialogAnswer::expect<TOKRightDlg>([&](TOKRightDlg *dialog) {
            rowsSeen = dialog->cboRows->currentText();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QTest::mouseClick(frame->BtnTable1, Qt::LeftButton);     // the toolbar button runs the same command
        QVERIFY(QTest::qWaitFor([&] { return third.answered(); }, 3000));
        QCOMPARE(rowsSeen, QStringLiteral("2"));
        QCOMPARE(frame->OKRightDlg->result(), 2);
    }

    void typedCountsAreTakenAsTyped()
    {
        // Above the list's 100, with a trailing unit, and after blanks.
        QVERIFY(insertTableFromMenu(QStringLiteral("150"), QStringLiteral(" 3列")));
        QTextTable *table = tableAtCaret(engine);
        QVERIFY(table);
        QCOMPARE(table->rows(), 150);
        QCOMPARE(table->columns(), 3);

        // A text without leading digits asks for 0 rows: nothing is inserted
        // and nothing breaks.
        QTest::keyClick(engine, Qt::Key_End, Qt::ControlModifier);
        const int characters = engine->document()->characterCount();
        QVERIFY(insertTableFromMenu(QStringLiteral("abc"), QString()));
        QCOMPARE(engine->document()->characterCount(), characters);
        QVERIFY(!engine->TableCanChangeAttr());
    }

    void contextMenuFollowsTheSameRuleAndGridLinesStayInStep()
    {
        QVERIFY(insertTableFromMenu(QString(), QString()));
        QVERIFY(window->PGridLines->isChecked() && window->MGridLines->isChecked());
        QVERIFY(engine->TableGridLines());

        const QPoint inside = engine->viewport()->rect().center();
        QMenu *popup = openContextMenu(engine->viewport(), inside);
        QCOMPARE(popup, window->PopupMenu1);
        QVERIFY(clickMenuItem(popup, window->N3->menuAction()));
        QVERIFY(!window->Insert2->isEnabled());       // the caret is in the table
        QVERIFY(window->Attr1->isEnabled());
        QVERIFY(window->Del_Lines1->isEnabled());
        QVERIFY(clickMenuItem(window->N3, window->PGridLines));
        QVERIFY(!window->PGridLines->isChecked());
        QVERIFY(!window->MGridLines->isChecked());
        QVERIFY(!engine->TableGridLines());

        QVERIFY(chooseMenuItem(frame.get(), window->Table1, window->MGridLines));
        QVERIFY(window->PGridLines->isChecked());
        QVERIFY(window->MGridLines->isChecked());
        QVERIFY(engine->TableGridLines());

        // Out of the table the context menu offers insertion only.
        QTest::keyClick(engine, Qt::Key_End, Qt::ControlModifier);
        popup = openContextMenu(engine->viewport(), inside);
        QVERIFY(popup);
        QVERIFY(clickMenuItem(popup, window->N3->menuAction()));
        QVERIFY(window->Insert2->isEnabled());
        QVERIFY(!window->Attr1->isEnabled());
        QVERIFY(!window->Del_Lines1->isEnabled());
    }

    void deleteLinesFromTheMenu()
    {
        QVERIFY(insertTableFromMenu(QStringLiteral("3"), QStringLiteral("2")));
        QTest::keyClick(engine, Qt::Key_Down);         // second row
        QVERIFY(chooseMenuItem(frame.get(), window->Table1, window->Del_Lines3));
        QTextTable *table = tableAtCaret(engine);
        QVERIFY(table);
        QCOMPARE(table->rows(), 2);
        QVERIFY(window->Modified);
    }

    void frameDialogShowsAndWritesBackTheParagraphsFrame()
    {
        commitText(engine, QStringLiteral("枠のある段落"));
        engine->setFrameStyle(0x0F | 0x1000 | 0x20);
        engine->setFrameLineWidth(40);
        engine->setFrameDistance(20);

        QString widthSeen;
        QString distanceSeen;
        int widthEntry = -1;
        bool leftSeen = false;
        frameFromMenu({{"chkLeft", "chkRight", "chkTop", "chkBottom"}, QString(), QString()},
                      [&](TOKRightDlg1 *dialog) {
                          widthSeen = dialog->cboLineWidth->currentText();
                          widthEntry = dialog->cboLineWidth->currentIndex();
                          distanceSeen = dialog->cboTextDistance->currentText();
                          leftSeen = dialog->chkLeft->isChecked();
                      });
        QCOMPARE(widthSeen, QStringLiteral("2pt"));
        QCOMPARE(widthEntry, 1);
        QCOMPARE(distanceSeen, QStringLiteral("1pt"));
        QVERIFY(leftSeen);
        QCOMPARE(engine->FrameStyle(), 0x0F);
        QCOMPARE(engine->FrameLineWidth(), 40);
        QCOMPARE(engine->FrameDistance(), 20);

        // Every box checked: all sides, tab lines, double and connected.
        frameFromMenu({{"chkLeft", "chkRight", "chkTop", "chkBottom", "chkTabLines", "chkDoubleLines",
                        "chkConnectedFrames"}, QString(), QString()});
        QCOMPARE(engine->FrameStyle(), 0xDF);

        // All cleared again, connected included.
        frameFromMenu({{}, QString(), QString()});
        QCOMPARE(engine->FrameStyle(), 0);

        // Cancel writes nothing.
        frameFromMenu({{"chkLeft"}, QStringLiteral("5pt"), QStringLiteral("5pt")}, {}, false);
        QCOMPARE(engine->FrameStyle(), 0);
        QCOMPARE(engine->FrameLineWidth(), 40);
    }

    void frameNumbersAreClampedToWholePoints()
    {
        commitText(engine, QStringLiteral("段落"));
        frameFromMenu({{"chkTop"}, QStringLiteral("20pt"), QStringLiteral("15")});
        QCOMPARE(engine->FrameLineWidth(), 240);
        QCOMPARE(engine->FrameDistance(), 240);

        frameFromMenu({{"chkTop"}, QStringLiteral("abc"), QStringLiteral("x")});
        QCOMPARE(engine->FrameLineWidth(), 20);
        QCOMPARE(engine->FrameDistance(), 0);

        // An empty width box leaves the width alone.
        frameFromMenu({{"chkTop"}, QStringLiteral("3pt"), QString()});
        QCOMPARE(engine->FrameLineWidth(), 60);
        frameFromMenu({{"chkTop"}, QStringLiteral(""), QString()});
        QCOMPARE(engine->FrameLineWidth(), 60);

        // A width outside the list (half a point) shows an empty box.
        engine->setFrameLineWidth(10);
        QString widthSeen = QStringLiteral("unset");
        frameFromMenu({{"chkTop"}, QString(), QString()},
                      [&](TOKRightDlg1 *dialog) { widthSeen = dialog->cboLineWidth->currentText(); });
        QCOMPARE(widthSeen, QString());
        QCOMPARE(engine->FrameLineWidth(), 10);
    }

    void paragraphCommandsFromBothMenus()
    {
        int shown = 0;
        for (int i = 0; i < 2; ++i) {
            auto answer = DialogAnswer::expect<tamapiko::engine::ParagraphDialog>(
                [&](tamapiko::engine::ParagraphDialog *dialog) {
                    ++shown;
                    dialog->reject();
                });
            if (i == 0) {
                QVERIFY(chooseMenuItem(frame.get(), window->Format1, window->Paragraph1));
            } else {
                QMenu *popup = openContextMenu(engine->viewport(), engine->viewport()->rect().center());
                QVERIFY(popup);
                QVERIFY(clickMenuItem(popup, window->D2->menuAction()));
                QVERIFY(clickMenuItem(window->D2, window->Paragraph2));
            }
            QVERIFY(QTest::qWaitFor([&] { return answer.answered(); }, 3000));
        }
        QCOMPARE(shown, 2);

        // The frame command from the context menu.
        auto answer = DialogAnswer::expect<TOKRightDlg1>([](TOKRightDlg1 *dialog) {
            QTest::mouseClick(dialog->chkBottom, Qt::LeftButton, Qt::NoModifier, QPoint(6, 8));
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        QMenu *popup = openContextMenu(engine->viewport(), engine->viewport()->rect().center());
        QVERIFY(popup);
        QVERIFY(clickMenuItem(popup, window->D2->menuAction()));
        QVERIFY(clickMenuItem(window->D2, window->dann1));
        QVERIFY(QTest::qWaitFor([&] { return answer.answered(); }, 3000));
        QCOMPARE(engine->FrameStyle() & 0x08, 0x08);
    }
};

QTEST_MAIN(tst_TableAndFrameCommands)
#include "tst_TableAndFrameCommands.moc"
