// The page setup dialog driven as a user drives it: opened from the
// document's file menu or the toolbar, fields typed into, OK or cancel
// clicked; and the unit conversions it shows its lengths with.

#include "app/TMainForm.h"
#include "dialogs/PageUnits.h"
#include "dialogs/TOKRightDlg2.h"
#include "dialogs/UpDown.h"
#include "document/TMDIChild.h"
#include "engine/TTextEngine.h"
#include "support/FrameFixture.h"
#include "support/UserActions.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

using namespace tamapiko::dialogs;
using namespace tamapiko::test;

namespace {

struct EnginePage
{
    int width, height, left, top, right, bottom;
    bool operator==(const EnginePage &) const = default;
};

EnginePage pageOf(const TTextEngine *engine)
{
    return {engine->PageWidth(), engine->PageHeight(), engine->PageMarginL(),
            engine->PageMarginT(), engine->PageMarginR(), engine->PageMarginB()};
}

char *toString(const EnginePage &page)
{
    return QTest::toString(QStringLiteral("%1 x %2, margins %3 %4 %5 %6")
                               .arg(page.width).arg(page.height).arg(page.left)
                               .arg(page.top).arg(page.right).arg(page.bottom));
}

} // namespace

class tst_PageSetup : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMainForm> m_frame;
    TMDIChild *m_window = nullptr;
    TTextEngine *m_engine = nullptr;
    TOKRightDlg2 *m_dialog = nullptr;

    // Opens the dialog from the document's file menu, runs `use` on it
    // (which ends it with OK or cancel) and returns the dialog's result.
    void throughMenu(const std::function<void(TOKRightDlg2 *)> &use)
    {
        bool used = false;
        whenShown<TOKRightDlg2>([&](TOKRightDlg2 *dialog) {
            use(dialog);
            used = true;
            if (dialog->isVisible())   // a failed check must not hang the test
                dialog->reject();
        });
        QVERIFY(chooseMenuItem(m_frame.get(), m_window->File1, m_window->PageSetup1));
        QVERIFY(used);
    }

private slots:
    void init()
    {
        m_frame = startFrame();
        m_window = m_frame->activeDocument();
        m_engine = m_window->TextEngine1;
        m_dialog = m_frame->OKRightDlg2;
        m_frame->MeasureUnit = Centimetres;
    }

    void cleanup()
    {
        ScriptedBoxes boxes({tamapiko::app::Answer::No});
        m_frame.reset();
    }

    void paperListTextsPerUnit_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QStringList>("texts");       // width x height per entry
        QTest::addColumn<QList<bool>>("foundAgain");  // entry detected from its own texts
        QTest::newRow("centimetres") << int(Centimetres)
            << QStringList{"20.99x29.70", "14.64x20.99", "25.70x36.40", "18.20x25.72", "21.59x27.94", "21.59x35.56"}
            << QList<bool>{true, true, true, true, true, true};
        QTest::newRow("inches") << int(Inches)
            << QStringList{"8.26x11.69", "5.76x8.26", "10.12x14.33", "7.17x10.13", "8.50x11.00", "8.50x14.00"}
            << QList<bool>{false, false, true, false, true, true};
    }

    void paperListTextsPerUnit()
    {
        QFETCH(int, unit);
        QFETCH(QStringList, texts);
        QFETCH(QList<bool>, foundAgain);
        for (int i = 0; i < int(PaperSizes.size()); ++i) {
            const PaperSize &paper = PaperSizes[size_t(i)];
            const QString width = TwipsToText(paper.shortSide, unit);
            const QString height = TwipsToText(paper.longSide, unit);
            QCOMPARE(width + u'x' + height, texts[i]);
            const int detected = paperIndexForSides(TextToTwips(width, unit), TextToTwips(height, unit));
            QCOMPARE(detected, foundAgain[i] ? i : UserDefinedPaper);
        }
        QCOMPARE(TwipsToText(1440, Inches), QStringLiteral("1.00"));
        QCOMPARE(TwipsToText(1440, Centimetres), QStringLiteral("2.54"));
        QCOMPARE(TwipsToText(1440, 0), QString());
        // A4 read back: within 4 twips in centimetres, not in inches.
        QCOMPARE(TextToTwips(QStringLiteral("20.99"), Centimetres), 11901);
        QCOMPARE(TextToTwips(QStringLiteral("29.70"), Centimetres), 16840);
        QCOMPARE(TextToTwips(QStringLiteral("8.26"), Inches), 11894);
        QCOMPARE(TextToTwips(QStringLiteral("11.69"), Inches), 16834);
        // Anything but digits and points counts as 0.
        for (const char *zero : {"", "2,5", "-1", " 1", "1e3", "１"})
            QCOMPARE(TextToTwips(QString::fromUtf8(zero), Centimetres), 0);
    }

    void showsTheDocumentsPageAndWritesItBackOnOK()
    {
        m_engine->setPageMarginL(1134);
        m_engine->setPageMarginT(1134);
        m_engine->setPageMarginR(1134);
        m_engine->setPageMarginB(1134);
        throughMenu([&](TOKRightDlg2 *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("ﾍﾟｰｼﾞ設定"));
            QCOMPARE(dialog->txtPaperWidth->text(), QStringLiteral("20.99"));
            QCOMPARE(dialog->txtPaperHeight->text(), QStringLiteral("29.70"));
            QCOMPARE(dialog->txtLeftMargin->text(), QStringLiteral("2.00"));
            QCOMPARE(dialog->cboPaperSize->currentText(), QStringLiteral("A4"));
            for (QLabel *unit : dialog->LblMng)
                QCOMPARE(unit->text(), QStringLiteral("cm"));
            QCOMPARE(dialog->txtLeftMargin->maxLength(), 6);
            QVERIFY(dialog->btnOK->isEnabled());

            // B5 landscape with 2.5 cm at the left.
            click(dialog->RdoYoko);
            chooseEntry(dialog->cboPaperSize, 3);
            QCOMPARE(dialog->txtPaperWidth->text(), QStringLiteral("25.72"));
            QCOMPARE(dialog->txtPaperHeight->text(), QStringLiteral("18.20"));
            typeInto(dialog->txtLeftMargin, QStringLiteral("2.5"));
            QVERIFY(dialog->btnOK->isEnabled());
            click(dialog->btnOK);
        });
        QCOMPARE(pageOf(m_engine), (EnginePage{14583, 10319, 1418, 1134, 1134, 1134}));
        QCOMPARE(m_frame->PageSettings.PaperIndex, 3);
        QCOMPARE(m_frame->PageSettings.PaperWidth, 14583);
        QCOMPARE(m_frame->PageSettings.MarginLeft, 1418);

        // The next showing finds B5 again from the landscape sizes.
        throughMenu([&](TOKRightDlg2 *dialog) {
            QVERIFY(dialog->RdoYoko->isChecked());
            QCOMPARE(dialog->cboPaperSize->currentText(), QStringLiteral("B5"));
            click(dialog->CancelBtn);
        });
    }

    void cancelChangesNothing()
    {
        const EnginePage before = pageOf(m_engine);
        const PageSettingsRecord record = m_frame->PageSettings;
        throughMenu([&](TOKRightDlg2 *dialog) {
            chooseEntry(dialog->cboPaperSize, 2);
            typeInto(dialog->txtTopMargin, QStringLiteral("3"));
            QTest::keyClick(dialog, Qt::Key_Escape);
            QVERIFY(!dialog->isVisible());
            QCOMPARE(dialog->result(), 2);
        });
        QCOMPARE(pageOf(m_engine), before);
        QCOMPARE(m_frame->PageSettings.PaperIndex, record.PaperIndex);
    }

    void a4InInchesBecomesUserDefinedAndShrinks()
    {
        m_frame->MeasureUnit = Inches;
        throughMenu([&](TOKRightDlg2 *dialog) {
            for (QLabel *unit : dialog->LblMng)
                QCOMPARE(unit->text(), QStringLiteral("ｲﾝﾁ"));
            QCOMPARE(dialog->txtPaperWidth->text(), QStringLiteral("8.26"));
            QCOMPARE(dialog->cboPaperSize->currentText(), QStringLiteral("USER_DEFINED"));
            chooseEntry(dialog->cboPaperSize, 0);
            click(dialog->btnOK);
        });
        QCOMPARE(m_engine->PageWidth(), 11894);
        QCOMPARE(m_engine->PageHeight(), 16834);
        QCOMPARE(m_frame->PageSettings.PaperIndex, 0);
    }

    void orientationSwapsTheTextsAndTheLimits()
    {
        throughMenu([&](TOKRightDlg2 *dialog) {
            click(dialog->RdoYoko);
            QCOMPARE(dialog->Image1->geometry(), QRect(14, 18, 42, 36));
            QCOMPARE(dialog->txtPaperWidth->text(), QStringLiteral("29.70"));
            QCOMPARE(dialog->txtPaperHeight->text(), QStringLiteral("20.99"));
            click(dialog->RdoTate);
            QCOMPARE(dialog->Image1->geometry(), QRect(14, 16, 38, 40));
            QCOMPARE(dialog->txtPaperWidth->text(), QStringLiteral("20.99"));
            QCOMPARE(dialog->txtPaperHeight->text(), QStringLiteral("29.70"));

            // Portrait: the width at most 16383 twips, the height 32767.
            typeInto(dialog->txtPaperWidth, QStringLiteral("28.90"));
            QVERIFY(!dialog->btnOK->isEnabled());
            typeInto(dialog->txtPaperWidth, QStringLiteral("28.89"));
            QVERIFY(dialog->btnOK->isEnabled());
            typeInto(dialog->txtPaperHeight, QStringLiteral("57.79"));
            QVERIFY(dialog->btnOK->isEnabled());
            typeInto(dialog->txtPaperHeight, QStringLiteral("57.80"));
            QVERIFY(!dialog->btnOK->isEnabled());
            typeInto(dialog->txtPaperHeight, QStringLiteral("57.79"));

            // Landscape: the other way round (the texts swap with it).
            click(dialog->RdoYoko);
            QCOMPARE(dialog->txtPaperWidth->text(), QStringLiteral("57.79"));
            QCOMPARE(dialog->txtPaperHeight->text(), QStringLiteral("28.89"));
            QVERIFY(dialog->btnOK->isEnabled());
            typeInto(dialog->txtPaperHeight, QStringLiteral("28.90"));
            QVERIFY(!dialog->btnOK->isEnabled());
            typeInto(dialog->txtPaperHeight, QStringLiteral(""));
            QVERIFY(!dialog->btnOK->isEnabled());
            click(dialog->CancelBtn);
        });
    }

    void marginsMustFitTheUprightPage()
    {
        throughMenu([&](TOKRightDlg2 *dialog) {
            // A margin as wide as the page passes; the sum is not checked.
            typeInto(dialog->txtLeftMargin, QStringLiteral("20.99"));
            typeInto(dialog->txtRightMargin, QStringLiteral("20.99"));
            QVERIFY(dialog->btnOK->isEnabled());
            typeInto(dialog->txtRightMargin, QStringLiteral("21"));
            QVERIFY(!dialog->btnOK->isEnabled());
            typeInto(dialog->txtRightMargin, QStringLiteral("1"));
            for (const char *refused : {"0", "", "2,5", "0.00"}) {
                typeInto(dialog->txtBottomMargin, QString::fromLatin1(refused));
                QVERIFY2(!dialog->btnOK->isEnabled(), refused);
            }
            typeInto(dialog->txtBottomMargin, QStringLiteral("29.70"));
            QVERIFY(dialog->btnOK->isEnabled());
            // Six characters at most.
            typeInto(dialog->txtTopMargin, QStringLiteral("1.234567"));
            QCOMPARE(dialog->txtTopMargin->text(), QStringLiteral("1.2345"));
            click(dialog->CancelBtn);
        });
    }

    void zoomTexts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("100") << "100" << 100 << true;
        QTest::newRow("100%") << "100%" << 100 << true;
        QTest::newRow("50%") << "50%" << 50 << true;
        QTest::newRow("400") << "400" << 400 << true;
        QTest::newRow("5") << "5" << 5 << false;
        QTest::newRow("405") << "405" << 405 << false;
        QTest::newRow("1000 keeps the last number") << "1000" << 100 << false;
        QTest::newRow("100x keeps the last number") << "100x" << 100 << false;
        QTest::newRow("empty") << "" << 100 << false;
    }

    void zoomTexts()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(bool, accepted);
        throughMenu([&](TOKRightDlg2 *dialog) {
            QCOMPARE(dialog->EdtZoom->text(), QStringLiteral("100"));
            // Typing goes through every prefix; "100" is what "1000" and
            // "100x" pass on their way, and "1" of the empty case.
            typeInto(dialog->EdtZoom, typed);
            QCOMPARE(m_frame->PrintZoomPercent, stored);
            QCOMPARE(dialog->btnOK->isEnabled(), accepted);
            click(dialog->CancelBtn);
        });
    }

    void zoomSurvivesCancelAndSteps()
    {
        throughMenu([&](TOKRightDlg2 *dialog) {
            typeInto(dialog->EdtZoom, QStringLiteral("250"));
            click(dialog->CancelBtn);
        });
        QCOMPARE(m_frame->PrintZoomPercent, 250);
        throughMenu([&](TOKRightDlg2 *dialog) {
            QCOMPARE(dialog->EdtZoom->text(), QStringLiteral("250"));
            click(dialog->UpDown1->upButton());
            QCOMPARE(dialog->EdtZoom->text(), QStringLiteral("255"));
            typeInto(dialog->EdtZoom, QStringLiteral("398"));
            click(dialog->UpDown1->upButton());
            QCOMPARE(dialog->EdtZoom->text(), QStringLiteral("400"));   // no wrap-around
            click(dialog->UpDown1->upButton());
            QCOMPARE(dialog->EdtZoom->text(), QStringLiteral("400"));
            click(dialog->btnOK);
        });
        QCOMPARE(m_frame->PrintZoomPercent, 400);
    }

    void conversionErrorsKeepTheDialogOpenAndWriteNothing()
    {
        ScriptedBoxes boxes;
        const EnginePage before = pageOf(m_engine);
        throughMenu([&](TOKRightDlg2 *dialog) {
            QVERIFY(dialog->btnOK->isEnabled());
            typeInto(dialog->txtLeftMargin, QStringLiteral("1.2.3"));
            QCOMPARE(boxes.errors.last(), QStringLiteral("'1.2.3' は浮動小数点数ではありません"));
            QCOMPARE(dialog->txtLeftMargin->text(), QStringLiteral("1.2.3"));
            // The check stopped short: OK kept its state, and pressing it
            // meets the same error, stores nothing and stays open.
            QVERIFY(dialog->btnOK->isEnabled());
            const qsizetype errors = boxes.errors.size();
            typeInto(dialog->txtPaperWidth, QStringLiteral("10"));
            click(dialog->btnOK);
            QVERIFY(boxes.errors.size() > errors);
            QVERIFY(dialog->isVisible());
            QCOMPARE(m_frame->PageSettings.PaperWidth, before.width);

            typeInto(dialog->txtLeftMargin, QStringLiteral("1.5"));
            typeInto(dialog->EdtZoom, QStringLiteral("ab"));
            QCOMPARE(boxes.errors.last(), QStringLiteral("'ab' は整数ではありません"));
            typeInto(dialog->EdtZoom, QStringLiteral("5%"));
            QCOMPARE(boxes.errors.last(), QStringLiteral("'5%' は整数ではありません"));
            click(dialog->CancelBtn);
        });
        QCOMPARE(pageOf(m_engine), before);

        // The next showing refills every field before checking: no error.
        boxes.errors.clear();
        throughMenu([&](TOKRightDlg2 *dialog) {
            QCOMPARE(dialog->txtLeftMargin->text(), TwipsToText(before.left, Centimetres));
            QVERIFY(dialog->btnOK->isEnabled());
            click(dialog->CancelBtn);
        });
        QCOMPARE(boxes.errors, QStringList());
    }

    void landscapeLeftOverMeetsAPortraitPage()
    {
        throughMenu([&](TOKRightDlg2 *dialog) {
            click(dialog->RdoYoko);
            click(dialog->CancelBtn);
        });
        // From the toolbar this time.
        bool used = false;
        whenShown<TOKRightDlg2>([&](TOKRightDlg2 *dialog) {
            used = true;
            const auto closeOnFailure = qScopeGuard([dialog] {
                if (dialog->isVisible())
                    dialog->reject();
            });
            QCOMPARE(dialog->cboPaperSize->currentText(), QStringLiteral("USER_DEFINED"));
            QVERIFY(!dialog->btnOK->isEnabled());   // 16840 twips across in landscape
            click(dialog->RdoTate);
            QCOMPARE(dialog->txtPaperWidth->text(), QStringLiteral("29.70"));
            QCOMPARE(dialog->txtPaperHeight->text(), QStringLiteral("20.99"));
            QVERIFY(!dialog->btnOK->isEnabled());
            chooseEntry(dialog->cboPaperSize, 0);
            QVERIFY(dialog->btnOK->isEnabled());
            click(dialog->btnOK);
        });
        click(m_frame->BtnPageSetup1);
        QVERIFY(used);
        QCOMPARE(m_engine->PageWidth(), 11901);
        QCOMPARE(m_engine->PageHeight(), 16840);
    }
};

QTEST_MAIN(tst_PageSetup)
#include "tst_PageSetup.moc"
