// The formatting toolbar and the caret tracking against the real engine:
// zoom and size entries, the toggles, colours, undo captions, and what a
// window switch shows.

#include "app/ErrorReporting.h"
#include "app/TApplication.h"
#include "app/TMainForm.h"
#include "document/DocumentPrompts.h"
#include "document/TMDIChild.h"
#include "engine/TEngineRuler.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QTextCursor>
#include <QToolButton>
#include <QtTest>

using tamapiko::test::activate;
using tamapiko::test::ScriptedBoxes;
using tamapiko::test::startFrame;

namespace {

// Types `text` into a toolbar box as a user does and presses Enter.
void typeIntoBox(QComboBox *box, const QString &text)
{
    box->lineEdit()->setFocus(Qt::MouseFocusReason);
    box->lineEdit()->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
    else
        QTest::keyClicks(box->lineEdit(), text);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
}

QList<bool> zoomChecks(TMDIChild *window)
{
    QList<bool> checks;
    for (QAction *item : window->Zoom)
        checks << item->isChecked();
    return checks;
}

} // namespace

class tst_MainFormToolBar : public QObject
{
    Q_OBJECT

private slots:
    void zoomBoxEntries_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("zoom");   // 0: unchanged
        QTest::addColumn<QString>("error");
        QTest::newRow("50") << "50" << "50%" << 50 << QString();
        QTest::newRow("12a") << "12a" << "12%" << 12 << QString();
        QTest::newRow("400%") << "400%" << "400%" << 400 << QString();
        QTest::newRow("401%") << "401%" << "" << 0 << QString();
        QTest::newRow("5") << "5" << "" << 0 << QString();
        QTest::newRow("1000") << "1000" << "" << 0 << QString();
        QTest::newRow("100x") << "100x" << "" << 0 << QString();
        QTest::newRow("abc") << "abc" << "abc" << 0 << QStringLiteral("'ab' は整数ではありません");
        QTest::newRow("empty") << "" << "" << 0 << QStringLiteral("'' は整数ではありません");
    }

    void zoomBoxEntries()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, zoom);
        QFETCH(QString, error);
        auto frame = startFrame();
        QVERIFY(activate(frame.get()));
        TMDIChild *window = frame->activeDocument();
        const int before = window->TextEngine1->ZoomFactor();
        ScriptedBoxes boxes;

        typeIntoBox(frame->CobZoom1, typed);
        QCOMPARE(frame->CobZoom1->currentText(), shown);
        QCOMPARE(boxes.errors, error.isEmpty() ? QStringList() : QStringList{error});
        // A typed value selects no list entry: all seven menu items unticked.
        QCOMPARE(zoomChecks(window), QList<bool>(7, false));
        // The focus went on, to the ruler, unless the conversion failed.
        QCOMPARE(window->EngineRuler1->hasFocus(), error.isEmpty());
        if (tamapiko::test::engineIsReal())
            QCOMPARE(window->TextEngine1->ZoomFactor(), zoom ? zoom : before);
    }

    void zoomListEntryTicksItsMenuItem()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        frame->CobZoom1->setCurrentIndex(4);
        emit frame->CobZoom1->activated(4);
        QCOMPARE(zoomChecks(window), (QList<bool>{false, false, false, false, true, false, false}));
        QCOMPARE(frame->CobZoom1->currentText(), QStringLiteral("150%"));
        frame->CobZoom1->setCurrentIndex(0);
        emit frame->CobZoom1->activated(0);
        QCOMPARE(zoomChecks(window), (QList<bool>{true, false, false, false, false, false, false}));
        if (tamapiko::test::engineIsReal())
            QCOMPARE(window->TextEngine1->ZoomFactor(), 25);

        // The menu's zoom steps select the box's entry in turn.
        window->Zoom[6]->trigger();
        QCOMPARE(zoomChecks(window), (QList<bool>{false, false, false, false, false, false, true}));
        QCOMPARE(frame->CobZoom1->currentText(), QStringLiteral("300%"));
    }

    void sizeBoxIsLenientAndMovesTheFocusOn()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        QVERIFY(activate(frame.get()));
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        typeIntoBox(frame->CobPointSize, QStringLiteral("13"));
        QCOMPARE(engine->FontSize(), 13.0);
        QVERIFY(frame->activeDocument()->EngineRuler1->hasFocus());
        typeIntoBox(frame->CobPointSize, QStringLiteral("  17pt"));
        QCOMPARE(engine->FontSize(), 17.0);

        // Passing through the box without typing writes nothing back.
        emit engine->OnPosChange(engine);
        engine->setFontSize(20);
        frame->CobPointSize->lineEdit()->setFocus(Qt::TabFocusReason);
        engine->setFocus(Qt::TabFocusReason);
        QCOMPARE(engine->FontSize(), 20.0);
    }

    void fontBoxAppliesOnlyListEntries()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        QVERIFY(activate(frame.get()));
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        const QString before = engine->FontName();
        typeIntoBox(frame->CobFonts, QStringLiteral("No Such Family 123"));
        QCOMPARE(engine->FontName(), before);
        const int index = frame->CobFonts->count() - 1;
        frame->CobFonts->setCurrentIndex(index);
        emit frame->CobFonts->activated(index);
        QCOMPARE(engine->FontName(), frame->CobFonts->itemText(index));
    }

    void styleButtonsFollowAndSetTheCaret()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        engine->setFocus();
        QTest::keyClicks(engine, QStringLiteral("plain"));
        frame->BtnBold->click();
        QTest::keyClicks(engine, QStringLiteral("bold"));
        QCOMPARE(engine->FontBold(), 1);

        // A selection that is partly bold shows the button up; pressing it
        // makes the whole selection bold.
        engine->setSelStart(0);
        engine->setSelLength(-1);
        emit engine->OnPosChange(engine);
        QCOMPARE(engine->FontBold(), 2);
        QVERIFY(!frame->BtnBold->isChecked());
        frame->BtnBold->click();
        QVERIFY(frame->BtnBold->isChecked());
        QCOMPARE(engine->FontBold(), 1);

        // Alignment: one exclusive group following the paragraph.
        frame->BtnPgjustified->click();
        QCOMPARE(engine->Alignment(), 3);
        frame->BtnPgLeft->click();
        engine->setAlignment(2);
        emit engine->OnPosChange(engine);
        QVERIFY(frame->BtnPgCentered->isChecked());
        QVERIFY(!frame->BtnPgLeft->isChecked() && !frame->BtnPgRight->isChecked()
                && !frame->BtnPgjustified->isChecked());
    }

    void undoCaptionsFollowTheEngine()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        emit window->PopupMenu1->aboutToShow();
        QCOMPARE(window->Bakuset1->text(), QStringLiteral("元に戻せません"));
        QCOMPARE(window->Bakuset2->text(), QStringLiteral("元に戻せません"));
        QCOMPARE(window->Ritarn1->text(), QStringLiteral("やり直せません"));
        QVERIFY(!window->Bakuset1->isEnabled() && !window->Ritarn2->isEnabled());

        TAMAPIKO_REQUIRE_ENGINE();
        window->TextEngine1->setFocus();
        QTest::keyClicks(window->TextEngine1, QStringLiteral("abc"));
        QVERIFY(frame->BtnBakuset1->isEnabled()); // the change refreshed it
        QVERIFY(window->Modified);
        emit window->Edit1->aboutToShow();
        QCOMPARE(window->Bakuset2->text(), QStringLiteral("元に戻す(&U)"));
        QVERIFY(window->Bakuset1->isEnabled());

        while (window->TextEngine1->CanUndo() != 0)
            frame->BtnBakuset1->click();
        QVERIFY(!frame->BtnBakuset1->isEnabled());
        QVERIFY(frame->BtnRitarn1->isEnabled());
        emit window->PopupMenu1->aboutToShow();
        QCOMPARE(window->Bakuset1->text(), QStringLiteral("元に戻せません"));
        QVERIFY(!window->Bakuset1->isEnabled());
        QCOMPARE(window->Ritarn1->text(), QStringLiteral("やり直し(&R)"));
        QVERIFY(window->Ritarn1->isEnabled());
        QVERIFY(window->Modified); // undoing everything leaves it changed
    }

    void colourCommandRules()
    {
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        QList<int> offered;
        std::optional<int> answer;
        tamapiko::document::setColourHook([&](TMDIChild &, int start) {
            offered << start;
            return answer;
        });

        // Cancelled: nothing changes.
        const int engineColour = window->TextEngine1->ForeColor();
        frame->setSwatchColour(frame->FontCol, 0x123456);
        answer.reset();
        frame->BtnTxtColr1->click();
        QCOMPARE(TMainForm::swatchColour(frame->FontCol), 0x123456);

        // The colour the text already has: nothing is written.
        answer = engineColour;
        window->TxtColr2->trigger();
        QCOMPARE(TMainForm::swatchColour(frame->FontCol), 0x123456);

        // Another colour is written to the engine and shown in the swatch.
        answer = 0x0000FF;
        window->BkColr1->trigger();
        QCOMPARE(TMainForm::swatchColour(frame->BakCol), 0x0000FF);
        QCOMPARE(offered.size(), 3);
        tamapiko::document::setColourHook({});

        TAMAPIKO_REQUIRE_ENGINE();
        QCOMPARE(window->TextEngine1->TextBkColor(), 0x0000FF);
    }

    void mixedColoursStartTheDialogAtBlack()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        TTextEngine *engine = frame->activeDocument()->TextEngine1;
        engine->setFocus();
        engine->setForeColor(0x0000FF);
        QTest::keyClicks(engine, QStringLiteral("red"));
        engine->setForeColor(0x00FF00);
        QTest::keyClicks(engine, QStringLiteral("green"));
        engine->setSelStart(0);
        engine->setSelLength(-1);
        QCOMPARE(engine->ForeColor(), -1);
        emit engine->OnPosChange(engine);
        QCOMPARE(TMainForm::swatchColour(frame->FontCol), -1);

        int offered = -2;
        tamapiko::document::setColourHook([&](TMDIChild &, int start) {
            offered = start;
            return std::optional<int>(0);
        });
        frame->BtnTxtColr1->click();
        tamapiko::document::setColourHook({});
        QCOMPARE(offered, 0);
        QCOMPARE(engine->ForeColor(), 0); // black is written although it was offered
        QCOMPARE(TMainForm::swatchColour(frame->FontCol), 0);
    }

    void tableCommandsFollowTheCaret()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;
        emit window->PopupMenu1->aboutToShow();
        QVERIFY(window->Insert2->isEnabled());
        QVERIFY(!window->Attr1->isEnabled() && !window->Del_Lines1->isEnabled());

        QCOMPARE(engine->TableInsert(2, 2, -1, 0), 0);
        engine->setSelStart(1);
        engine->setSelLength(0);
        QVERIFY(engine->TableCanChangeAttr());
        emit engine->OnParagraphChange(engine);
        QVERIFY(!frame->BtnTable1->isEnabled());
        emit window->PopupMenu1->aboutToShow();
        QVERIFY(!window->Insert2->isEnabled());
        QVERIFY(window->Attr1->isEnabled() && window->Del_Lines1->isEnabled());
        emit window->Table1->aboutToShow();
        QVERIFY(!window->Insert3->isEnabled() && window->Attr3->isEnabled() && window->Del_Lines3->isEnabled());
        QVERIFY(window->PGridLines->isEnabled() && window->MGridLines->isEnabled());
    }

    void selectAllKeepsTheMousePointer()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        TMDIChild *window = frame->activeDocument();
        TTextEngine *engine = window->TextEngine1;
        engine->setFocus();
        QTest::keyClicks(engine, QStringLiteral("select me"));
        engine->setMousePointer(0);
        window->A1->trigger();
        QCOMPARE(engine->MousePointer(), 0);
        QCOMPARE(engine->SelStart(), 0);
        QCOMPARE(engine->SelLength(), 9);
    }

    void windowSwitchShowsOnlyTheOtherZoom()
    {
        TAMAPIKO_REQUIRE_ENGINE();
        auto frame = startFrame();
        TMDIChild *first = frame->activeDocument();
        first->Zoom[4]->trigger();          // 150 %
        frame->New1Click();
        TMDIChild *second = frame->activeDocument();
        second->Zoom[2]->trigger();         // 75 %
        frame->CobFonts->setEditText(QStringLiteral("first window's font"));

        frame->MDIClient->setActiveSubWindow(first);
        QCOMPARE(frame->CobZoom1->currentText(), QStringLiteral("150"));
        frame->MDIClient->setActiveSubWindow(second);
        QCOMPARE(frame->CobZoom1->currentText(), QStringLiteral("75"));
        QCOMPARE(frame->CobFonts->currentText(), QStringLiteral("first window's font"));
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    tst_MainFormToolBar test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_MainFormToolBar.moc"
