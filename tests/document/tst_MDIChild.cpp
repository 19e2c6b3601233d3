// The document window against the real frame: creation, its menus, the
// modified flag and the close question.

#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "document/DefaultPage.h"
#include "document/TMDIChild.h"
#include "engine/TEngineRuler.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"

#include <QMenu>
#include <QtTest>

using tamapiko::app::Answer;
using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;

namespace {

QList<QAction *> allItems(const QList<QMenu *> &menus)
{
    QList<QAction *> items;
    for (QMenu *menu : menus) {
        for (QAction *item : menu->actions()) {
            items << item;
            if (item->menu())
                items << allItems({item->menu()});
        }
    }
    return items;
}

} // namespace

class tst_MDIChild : public QObject
{
    Q_OBJECT

private slots:
    void defaultPageFollowsTheEngineLanguage()
    {
        // German and Japanese give A4 in centimetres (11900 wide, as ever);
        // every other language Letter in inches.
        for (int language : {49, 81}) {
            const DefaultPage page = defaultPageForLanguage(language);
            QCOMPARE(page.measureUnit, 2);
            QCOMPARE(page.pageWidth, 11900);
            QCOMPARE(page.pageHeight, 16838);
        }
        for (int language : {0, 1, 44, 1033}) {
            const DefaultPage page = defaultPageForLanguage(language);
            QCOMPARE(page.measureUnit, 1);
            QCOMPARE(page.pageWidth, 12240);
            QCOMPARE(page.pageHeight, 15840);
        }
    }

    void newWindowIsActiveAndTiedToItsCompanions()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(!window->Modified);
        QVERIFY(window->TextEngine1->testAttribute(Qt::WA_InputMethodEnabled));
        QCOMPARE(window->TextEngine1->RulerHandle(), window->EngineRuler1);
        QCOMPARE(window->TextEngine1->StatusBarHandle(), frame->EngineStatusBar1);
        QCOMPARE(window->TextEngine1->ButtonBarHandle(), frame->EngineButtonBar1);
        QCOMPARE(window->TextEngine1->ViewMode(), 1);
        QCOMPARE(window->TextEngine1->ScrollBars(), 3);
        // The engine starts in Japanese: A4 (11900 wide) in centimetres.
        QCOMPARE(window->TextEngine1->Language(), 81);
        QCOMPARE(frame->MeasureUnit, 2);
        QCOMPARE(window->TextEngine1->PageWidth(), 11900);
        QCOMPARE(window->TextEngine1->PageHeight(), 16838);

        // Ruler on top, the engine under it across the whole client area.
        const QWidget *client = window->widget();
        QCOMPARE(window->EngineRuler1->geometry(), QRect(0, 0, client->width(), 30));
        QCOMPARE(window->TextEngine1->geometry(), QRect(0, 30, client->width(), client->height() - 30));
        window->resize(window->width() + 40, window->height() + 25);
        QCOMPARE(window->TextEngine1->geometry(), QRect(0, 30, client->width(), client->height() - 30));
    }

    void menusCarryTheirCaptionsButNoShortcuts()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QCOMPARE(window->MenuItem7->text(), QStringLiteral("コピー(&C)       　  Ctrl+C"));
        QCOMPARE(window->Delete1->text(), QStringLiteral("クリア(&D)　　　 　 　Del"));
        QCOMPARE(window->Bakuset2->text(), QStringLiteral("元に戻せません　  Ctrl+Z"));
        QCOMPARE(window->Zoom[4]->statusTip(), QStringLiteral("１５０％ズームします。"));
        QVERIFY(!window->Bakuset1->isEnabled());
        QVERIFY(!window->Ritarn2->isEnabled());
        QVERIFY(window->PageLayout1->isChecked() && !window->Normal1->isChecked());
        QVERIFY(window->Zoom[3]->isChecked());
        QVERIFY(!window->DanRaku->isChecked());
        QVERIFY(window->MGridLines->isChecked() && window->PGridLines->isChecked());

        const QList<QAction *> items = allItems(window->menus() + QList<QMenu *>{window->PopupMenu1});
        QVERIFY(items.size() > 60);
        for (QAction *item : items)
            QVERIFY2(item->shortcut().isEmpty(), qPrintable(item->text()));
        for (QAction *item : allItems({frame->File1, frame->Window1, frame->Help1}))
            QVERIFY(item->shortcut().isEmpty());
    }

    void closeQuestionFollowsModified()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();

        // Unchanged: closes without a word.
        {
            ScriptedBoxes boxes;
            frame->New1Click();
            frame->activeDocument()->Close1Click();
            QVERIFY(boxes.questions.isEmpty());
        }
        QApplication::processEvents();
        QCOMPARE(frame->documents(), QList<TMDIChild *>{window});

        // A change marks the window; undoing does not unmark it.
        emit window->TextEngine1->OnChange(window->TextEngine1);
        QVERIFY(window->Modified);
        {
            ScriptedBoxes boxes({Answer::Cancel});
            window->TextEngine1->Undo();
            QVERIFY(!window->close());
            QCOMPARE(boxes.questions, QStringList{QStringLiteral("NONAME1 は変更されています。保存しますか？")});
        }
        QCOMPARE(frame->documents().size(), 1);

        // "いいえ" closes without saving; the window is freed, not minimised.
        QPointer<TMDIChild> guard(window);
        {
            ScriptedBoxes boxes({Answer::No});
            window->File1->actions().at(2)->trigger(); // "閉じる(&C)"
            QCOMPARE(boxes.questions.size(), 1);
        }
        QTest::qWait(10);
        QVERIFY(guard.isNull());
        QVERIFY(frame->documents().isEmpty());
    }

    void exitItemClosesOnlyTheWindow()
    {
        auto frame = startFrame();
        frame->New1Click();
        TMDIChild *second = frame->activeDocument();
        second->Exit1->trigger();
        QApplication::processEvents();
        QCOMPARE(frame->documents().size(), 1);
        QVERIFY(frame->isVisible());
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    tst_MDIChild test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_MDIChild.moc"
