// The document window's view menu: the frame's bars and their geometry, the
// ruler, paragraph marks in two windows, and the zoom steps.

#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "document/TMDIChild.h"
#include "engine/TEngineRuler.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"

#include <QComboBox>
#include <QFrame>
#include <QMdiArea>
#include <QToolButton>
#include <QtTest>

using tamapiko::test::startFrame;

class tst_MDIChildView : public QObject
{
    Q_OBJECT

private slots:
    void barsSwitchWithTheirGeometry()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QCOMPARE(frame->Panel12->y(), 31);

        window->ToolBar1->trigger();                    // toolbar off
        QVERIFY(!window->ToolBar1->isChecked());
        QVERIFY(!frame->toolbar->isVisibleTo(frame.get()));
        QCOMPARE(frame->Panel12->y(), 0);
        window->ButtonBar1->trigger();                  // formatting bar off
        QVERIFY(!frame->ToolBar2->isVisibleTo(frame.get()));
        QVERIFY(!frame->Panel12->isVisibleTo(frame.get()));
        window->ButtonBar1->trigger();                  // and on: top 1 under no toolbar
        QVERIFY(frame->Panel12->isVisibleTo(frame.get()));
        QCOMPARE(frame->Panel12->y(), 1);
        window->ToolBar1->trigger();                    // toolbar on again
        QCOMPARE(frame->Panel12->y(), 31);
        QVERIFY(frame->toolbar->isVisibleTo(frame.get()));

        window->StatusBar1->trigger();
        QVERIFY(!frame->EngineStatusBar1->isVisibleTo(frame.get()));
        window->StatusBar1->trigger();
        QVERIFY(frame->EngineStatusBar1->isVisibleTo(frame.get()));
    }

    void eachWindowKeepsItsOwnTicks()
    {
        auto frame = startFrame();
        TMDIChild *first = frame->activeDocument();
        frame->New1Click();
        TMDIChild *second = frame->activeDocument();

        frame->MDIClient->setActiveSubWindow(first);
        first->ToolBar1->trigger();
        QVERIFY(!frame->toolbar->isVisibleTo(frame.get()));
        frame->MDIClient->setActiveSubWindow(second);
        QVERIFY(second->ToolBar1->isChecked());
        second->ToolBar1->trigger();                    // hides the hidden toolbar
        QVERIFY(!second->ToolBar1->isChecked());
        QVERIFY(!frame->toolbar->isVisibleTo(frame.get()));
        second->ToolBar1->trigger();                    // only now it shows
        QVERIFY(frame->toolbar->isVisibleTo(frame.get()));

        // Paragraph marks: the button toggles the active window's marks only.
        frame->BtnDanRaku->click();
        QVERIFY(second->DanRaku->isChecked());
        QVERIFY(!first->DanRaku->isChecked());
        QVERIFY(frame->BtnDanRaku->isChecked());
        frame->MDIClient->setActiveSubWindow(first);
        frame->BtnDanRaku->click();                     // button down, first's item unticked: turns on
        QVERIFY(first->DanRaku->isChecked());
        QVERIFY(frame->BtnDanRaku->isChecked());
        first->DanRaku->trigger();
        QVERIFY(!first->DanRaku->isChecked());
        QVERIFY(!frame->BtnDanRaku->isChecked());
        QVERIFY(second->DanRaku->isChecked());
        if (tamapiko::test::engineIsReal()) {
            QVERIFY(!first->TextEngine1->ControlChars());
            QVERIFY(second->TextEngine1->ControlChars());
        }
    }

    void rulerOffAndOnRestoresTheWindow()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        const int height = window->height();
        window->Ruler1->trigger();
        QVERIFY(!window->EngineRuler1->isVisibleTo(window));
        QCOMPARE(window->TextEngine1->y(), 0);
        QCOMPARE(window->height(), height - 32);
        QCOMPARE(window->TextEngine1->height(), window->widget()->height());

        window->Ruler1->trigger();
        QVERIFY(window->EngineRuler1->isVisibleTo(window));
        QCOMPARE(window->TextEngine1->y(), 32);
        QCOMPARE(window->height(), height);
        QCOMPARE(window->TextEngine1->height(), window->widget()->height() - window->EngineRuler1->height());
    }

    void maximisedWindowFollowsTheFrame()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        window->showMaximized();
        frame->resize(900, 700);
        QApplication::processEvents();
        QCOMPARE(window->TextEngine1->width(), window->widget()->width());
        window->Ruler1->trigger();
        QCOMPARE(window->TextEngine1->geometry(), window->widget()->rect());
        window->Ruler1->trigger();
        QCOMPARE(window->TextEngine1->y(), 32);
        QCOMPARE(window->TextEngine1->height(), window->widget()->height() - 30);

        // Closing the maximised window leaves a working frame.
        frame->Close1Click();
        QApplication::processEvents();
        QVERIFY(frame->documents().isEmpty());
        frame->New1Click();
        QCOMPARE(frame->documents().size(), 1);
    }

    void viewModeAndZoomSteps()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        window->Normal1->trigger();
        QVERIFY(window->Normal1->isChecked() && !window->PageLayout1->isChecked());
        window->Normal1->trigger();                     // a second time changes nothing
        QVERIFY(window->Normal1->isChecked() && !window->PageLayout1->isChecked());
        window->PageLayout1->trigger();
        QVERIFY(!window->Normal1->isChecked() && window->PageLayout1->isChecked());

        window->Zoom[4]->trigger();
        for (int step = 0; step < 7; ++step)
            QCOMPARE(window->Zoom[step]->isChecked(), step == 4);
        QCOMPARE(frame->CobZoom1->currentText(), QStringLiteral("150%"));
        window->Zoom[4]->trigger();                     // choosing it again keeps the tick
        QVERIFY(window->Zoom[4]->isChecked());
        if (tamapiko::test::engineIsReal()) {
            QCOMPARE(window->TextEngine1->ZoomFactor(), 150);
            QCOMPARE(window->TextEngine1->ViewMode(), 1);
        }
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    tst_MDIChildView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_MDIChildView.moc"
