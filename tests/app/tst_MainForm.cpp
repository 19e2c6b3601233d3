// The frame window driven headless: start-up with and without arguments,
// the enable rule, menu merging, drops, the close chain and the error box.

#include "app/ErrorReporting.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "dialogs/TOKRightDlg2.h"
#include "document/DefaultPage.h"
#include "document/DocumentPrompts.h"
#include "document/TMDIChild.h"
#include "engine/TEngineButtonBar.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"

#include <QComboBox>
#include <QDropEvent>
#include <QFrame>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QLabel>
#include <QMimeData>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

using tamapiko::app::Answer;
using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;

namespace {

QStringList menuBarTitles(TMainForm &frame)
{
    QStringList titles;
    for (QAction *action : frame.menuBar()->actions()) {
        if (action->isVisible())
            titles << action->text();
    }
    return titles;
}

QStringList captions(const QList<TMDIChild *> &windows)
{
    QStringList result;
    for (TMDIChild *window : windows)
        result << window->windowTitle();
    return result;
}

QList<QWidget *> documentControls(TMainForm &frame)
{
    return {frame.BtnSave1, frame.BtnPrint1, frame.BtnPrintPreview1, frame.BtnPageSetup1, frame.BtnCut1,
            frame.BtnCopy1, frame.BtnPaste1, frame.BtnSearRep1, frame.BtnTxtColr1, frame.BtnBkColr1,
            frame.BtnTable1, frame.BtnDanRaku, frame.CobZoom1, frame.CobFonts, frame.CobPointSize,
            frame.BtnBold, frame.BtnItalic, frame.BtnUnderLine, frame.BtnPgLeft, frame.BtnPgRight,
            frame.BtnPgCentered, frame.BtnPgjustified, frame.EngineButtonBar1};
}

// Closes every document window answering "いいえ(&N)" should one ask.
void closeAll(TMainForm &frame)
{
    ScriptedBoxes boxes({Answer::No, Answer::No, Answer::No, Answer::No});
    for (TMDIChild *window : frame.documents())
        window->close();
    QApplication::processEvents();
}

} // namespace

class tst_MainForm : public QObject
{
    Q_OBJECT

private slots:
    void startWithoutArgumentsOpensNoname1()
    {
        auto frame = startFrame();
        QCOMPARE(captions(frame->documents()), QStringList{QStringLiteral("NONAME1")});
        QCOMPARE(frame->windowTitle(), QStringLiteral("Document"));
        QCOMPARE(frame->CobZoom1->currentText(), QStringLiteral("100%"));
        // The size box's start entry gives way to the caret's real size.
        QCOMPARE(frame->CobPointSize->currentText(),
                 QString::number(frame->activeDocument()->TextEngine1->FontSize()));
        QCOMPARE(frame->PrintZoomPercent, 100);
        QCOMPARE(frame->MeasureUnit,
                 defaultPageForLanguage(frame->activeDocument()->TextEngine1->Language()).measureUnit);
        for (QWidget *control : documentControls(*frame))
            QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(!frame->BtnBakuset1->isEnabled());
        QVERIFY(!frame->BtnRitarn1->isEnabled());

        // The document's six menus stand where the frame's file menu was.
        QCOMPARE(menuBarTitles(*frame),
                 (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("編集(&E)"), QStringLiteral("表示(&V)"),
                              QStringLiteral("挿入(&Ｉ)"), QStringLiteral("書式(&S)"), QStringLiteral("表(&T)"),
                              QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
        QVERIFY(!frame->menuBar()->actions().contains(frame->File1->menuAction()));

        // The font box lists the installed families, sorted.
        QVERIFY(frame->CobFonts->count() > 0);
        QStringList fonts;
        for (int i = 0; i < frame->CobFonts->count(); ++i)
            fonts << frame->CobFonts->itemText(i);
        QStringList sorted = fonts;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(fonts, sorted);
    }

    void firstShowingPutsPageSetupIntoPortrait()
    {
        // Whatever state the page set-up dialog was left in before the frame
        // first shows, it starts out in portrait with the upright page symbol.
        TMainForm frame{QStringList()};
        frame.createStartupDialogs();
        frame.OKRightDlg2->RdoYoko->setChecked(true);
        frame.show();
        QApplication::processEvents();
        QVERIFY(frame.OKRightDlg2->RdoTate->isChecked());
        QVERIFY(!frame.OKRightDlg2->RdoYoko->isChecked());
        QCOMPARE(frame.OKRightDlg2->Image1->geometry(), QRect(14, 16, 38, 40));
        closeAll(frame);
    }

    void startArgumentsDecideTheFirstDocument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("firstCaption");
        QTest::addColumn<QString>("nextNew");
        QTest::newRow("none") << QStringList() << QStringLiteral("NONAME1") << QStringLiteral("NONAME2");
        QTest::newRow("two") << QStringList{QStringLiteral("/tmp/a.txt"), QStringLiteral("/tmp/b.txt")}
                             << QStringLiteral("NONAME1") << QStringLiteral("NONAME2");
        // The file's window uses up a number too. (A type that is refused
        // keeps its window; a file that cannot be read would close it.)
        QTest::newRow("one") << QStringList{QStringLiteral("/nonexistent/brief.abc")}
                             << QStringLiteral("/nonexistent/brief.abc") << QStringLiteral("NONAME2");
    }

    void startArgumentsDecideTheFirstDocument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, firstCaption);
        QFETCH(QString, nextNew);
        ScriptedBoxes boxes;
        auto frame = startFrame(arguments);
        QCOMPARE(captions(frame->documents()), QStringList{firstCaption});
        QCOMPARE(frame->StartupFileName, arguments.size() == 1 ? arguments.first() : QString());
        frame->BtnNew1->click();
        QCOMPARE(frame->activeDocument()->windowTitle(), nextNew);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Document"));
    }

    void closingTheLastWindowDisablesTheDocumentControls()
    {
        auto frame = startFrame();
        frame->BtnNew1->click();
        QCOMPARE(frame->documents().size(), 2);
        frame->activeDocument()->close();
        QApplication::processEvents();
        QCOMPARE(frame->documents().size(), 1);
        QVERIFY(frame->BtnSave1->isEnabled()); // one left: still enabled

        frame->activeDocument()->Close1Click();
        QApplication::processEvents();
        QVERIFY(frame->documents().isEmpty());
        QVERIFY(frame->activeDocument() == nullptr);
        for (QWidget *control : documentControls(*frame))
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        QVERIFY(!frame->BtnBakuset1->isEnabled());
        QVERIFY(!frame->BtnRitarn1->isEnabled());
        QCOMPARE(frame->BtnTxtColr1->height(), 25);
        QCOMPARE(frame->BtnBkColr1->height(), 25);
        QVERIFY(!frame->FontCol->isVisibleTo(frame.get()));
        QVERIFY(!frame->BakCol->isVisibleTo(frame.get()));
        QCOMPARE(menuBarTitles(*frame), (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
        QCOMPARE(frame->windowTitle(), QStringLiteral("Document"));
        for (QToolButton *never : {frame->ExitBtn, frame->BtnNew1, frame->BtnOpen1, frame->BtnHelpAboutItem1})
            QVERIFY(never->isEnabled());

        // Nothing to act on: these change nothing and do not fail.
        frame->WindowMinimizeItemClick();
        QTest::keyClick(frame.get(), Qt::Key_A);
        QVERIFY(!frame->BtnBakuset1->isEnabled());

        // A new window brings everything back, with the swatches.
        frame->New1->trigger();
        QCOMPARE(frame->activeDocument()->windowTitle(), QStringLiteral("NONAME3"));
        QCOMPARE(frame->BtnTxtColr1->height(), 20);
        QVERIFY(frame->FontCol->isVisibleTo(frame.get()));
        QVERIFY(frame->Window1->menuAction()->isVisible());
    }

    void droppedFilesOpenInDropOrder()
    {
        QTemporaryDir dir;
        QStringList paths;
        QList<QUrl> urls;
        for (const char *name : {"b.txt", "a.txt", "c.txt"}) {
            const QString path = dir.filePath(QLatin1String(name));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("text\n");
            paths << path;
            urls << QUrl::fromLocalFile(path);
        }
        ScriptedBoxes boxes;
        auto frame = startFrame();
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.get(), &drop);

        QCOMPARE(frame->MDIClient->subWindowList(QMdiArea::CreationOrder).size(), 4);
        QStringList created;
        for (QMdiSubWindow *window : frame->MDIClient->subWindowList(QMdiArea::CreationOrder))
            created << window->windowTitle();
        QCOMPARE(created, QStringList{QStringLiteral("NONAME1")} + paths);
        QCOMPARE(frame->activeDocument()->windowTitle(), paths.last());
        QCOMPARE(frame->StartupFileName, paths.last());
    }

    void windowMenuListsAndArrangesTheWindows()
    {
        auto frame = startFrame();
        frame->New1Click();
        frame->New1Click();
        frame->WindowCascadeItem->trigger();
        const QList<QMdiSubWindow *> windows = frame->MDIClient->subWindowList(QMdiArea::CreationOrder);
        QVERIFY(windows[0]->pos() != windows[1]->pos());
        frame->WindowTileItem->trigger();
        for (QMdiSubWindow *window : windows)
            QVERIFY(frame->MDIClient->viewport()->rect().contains(window->geometry()));

        emit frame->Window1->aboutToShow();
        QStringList listed;
        for (QAction *item : frame->Window1->actions()) {
            if (item->isCheckable())
                listed << item->text() + (item->isChecked() ? QStringLiteral(" *") : QString());
        }
        QCOMPARE(listed, (QStringList{QStringLiteral("&1 NONAME1"), QStringLiteral("&2 NONAME2"),
                                      QStringLiteral("&3 NONAME3 *")}));

        frame->WindowMinimizeItem->trigger();
        for (QMdiSubWindow *window : windows)
            QVERIFY(window->isMinimized());
        frame->WindowArrangeItem->trigger();
        QSet<int> lefts;
        for (QMdiSubWindow *window : windows)
            lefts << window->x();
        QCOMPARE(lefts.size(), 3); // side by side, not on top of each other
    }

    void exitStopsAtTheFirstRefusal()
    {
        auto frame = startFrame();
        TMDIChild *first = frame->activeDocument();
        frame->New1Click();
        TMDIChild *second = frame->activeDocument();
        frame->New1Click();
        first->Modified = true;
        second->Modified = true;

        // The active window is asked first; "いいえ" for it, cancel for the
        // next: nothing closes, and the window after that is not asked.
        ScriptedBoxes boxes({Answer::No, Answer::Cancel});
        frame->MDIClient->setActiveSubWindow(second);
        frame->ExitBtn->click();
        QCOMPARE(boxes.questions, (QStringList{QStringLiteral("NONAME2 は変更されています。保存しますか？"),
                                               QStringLiteral("NONAME1 は変更されています。保存しますか？")}));
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->documents().size(), 3);

        // Unchanged windows ask nothing; with both answered "いいえ" it ends.
        ScriptedBoxes agree({Answer::No, Answer::No});
        frame->Exit1->trigger();
        QCOMPARE(agree.questions.size(), 2);
        QVERIFY(!frame->isVisible());
    }

    void closeQuestionSavesTheAskingWindowsDocument()
    {
        QTemporaryDir dir;
        auto frame = startFrame();
        TMDIChild *noname = frame->activeDocument();
        noname->Modified = true;

        // "はい" on a document without a file asks for a name; cancelling
        // that keeps the window open and still modified.
        int asked = 0;
        tamapiko::document::setSaveNameHook([&](TMDIChild &window) {
            ++asked;
            return window.windowTitle() == QLatin1String("NONAME1") ? QString() : dir.filePath("x.txt");
        });
        ScriptedBoxes boxes({Answer::Yes, Answer::Yes});
        QVERIFY(!noname->close());
        QCOMPARE(asked, 1);
        QCOMPARE(frame->documents().size(), 1);
        QVERIFY(noname->Modified);
        tamapiko::document::setSaveNameHook({});
        closeAll(*frame);
    }

    void failedSaveKeepsTheWindowOpen()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        TMDIChild *noname = frame->activeDocument();
        noname->Modified = true;
        // A document that cannot be written stays open and changed: closing
        // would lose it.
        noname->setWindowTitle(QStringLiteral("/nonexistent-folder/letter.txt"));
        ScriptedBoxes failing({Answer::Yes});
        QVERIFY(!noname->close());
        QCOMPARE(failing.errors, QStringList{QStringLiteral("Error saving file /nonexistent-folder/letter.txt")});
        QVERIFY(noname->Modified);
        QCOMPARE(frame->documents().size(), 1);
        closeAll(*frame);
    }

    void exitSavesEachWindowUnderItsOwnName()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        QTemporaryDir dir;
        auto frame = startFrame();
        const QString firstPath = dir.filePath(QStringLiteral("first.txt"));
        const QString secondPath = dir.filePath(QStringLiteral("second.txt"));
        TMDIChild *first = frame->activeDocument();
        first->setWindowTitle(firstPath);
        first->TextEngine1->setFocus();
        QTest::keyClicks(first->TextEngine1, QStringLiteral("one"));
        frame->New1Click();
        TMDIChild *second = frame->activeDocument();
        second->setWindowTitle(secondPath);
        QTest::keyClicks(second->TextEngine1, QStringLiteral("two"));
        QVERIFY(first->Modified && second->Modified);

        ScriptedBoxes boxes({Answer::Yes, Answer::Yes});
        QVERIFY(frame->close());
        QCOMPARE(boxes.questions.size(), 2);
        QVERIFY(boxes.errors.isEmpty());
        for (const auto &[path, text] : {std::pair{firstPath, "one"}, std::pair{secondPath, "two"}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll().trimmed(), QByteArray(text));
        }
    }

    void hintsReachTheStatusBar()
    {
        auto frame = startFrame();
        QCOMPARE(frame->BtnNew1->toolTip(), QStringLiteral("新規作成"));
        QCOMPARE(frame->BtnTable1->toolTip(), QStringLiteral("表を挿入します。"));
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(frame->BtnNew1, &enter);
        QCOMPARE(tamapiko::test::statusText(frame->EngineStatusBar1), QStringLiteral("新しい文書を作成します"));
        QApplication::sendEvent(frame->BtnTable1, &enter);
        QCOMPARE(tamapiko::test::statusText(frame->EngineStatusBar1), QStringLiteral("表を挿入します。"));

        // A highlighted menu item of the active document shows its hint.
        TMDIChild *document = frame->activeDocument();
        document->Save1->showStatusText(frame->menuBar());
        QCOMPARE(tamapiko::test::statusText(frame->EngineStatusBar1), QStringLiteral("現在のﾌｧｲﾙを保存"));
    }

    void errorsEscapingAHandlerAreShownAndTheProgramGoesOn()
    {
        ScriptedBoxes boxes;
        struct Throwing : QObject
        {
            bool event(QEvent *) override { throw std::runtime_error("engine failed"); }
        } target;
        QEvent event(QEvent::User);
        QApplication::sendEvent(&target, &event);
        QCOMPARE(boxes.errors, QStringList{QStringLiteral("engine failed")});

        tamapiko::app::runGuarded([] { throw tamapiko::app::ConversionError(QStringLiteral("'ab' は整数ではありません")); });
        QCOMPARE(boxes.errors.last(), QStringLiteral("'ab' は整数ではありません"));
    }

    void qtDialogsSpeakJapanese()
    {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    tst_MainForm test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_MainForm.moc"
