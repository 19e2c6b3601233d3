#include "engine/DocumentModel.h"
#include "engine/TEngineButtonBar.h"
#include "engine/TEngineRuler.h"
#include "engine/TTextEngine.h"

#include <QAbstractButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtTest>

using Marker = TEngineRuler::Marker;

namespace {

constexpr double TwipsPerPoint = 20;

// A document window in miniature: the ruler over its engine.
struct RulerWindow
{
    QWidget window;
    TTextEngine *engine = new TTextEngine;
    TEngineRuler *ruler = new TEngineRuler;

    RulerWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(ruler);
        layout->addWidget(engine);
        window.resize(900, 400);
        ruler->setEngine(engine);
        QTextCursor cursor(engine->document());
        cursor.insertText(QStringLiteral("一行目\n二行目\n三行目"));
        engine->setTextCursor(QTextCursor(engine->document()));
        engine->document()->clearUndoRedoStacks();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    // Selects from the first paragraph into the second.
    void selectFirstTwoParagraphs()
    {
        QTextCursor cursor(engine->document());
        cursor.setPosition(1);
        cursor.setPosition(engine->document()->findBlockByNumber(1).position() + 1, QTextCursor::KeepAnchor);
        engine->setTextCursor(cursor);
    }

    QTextBlockFormat paragraph(int number) const
    {
        return engine->document()->findBlockByNumber(number).blockFormat();
    }

    QPoint at(double twips, int y) const { return QPoint(int(std::lround(ruler->xForTwips(twips))), y); }

    void drag(Marker marker, double toTwips, int tabIndex = 0)
    {
        const QPoint from = ruler->markerRect(marker, tabIndex).center();
        const QPoint to = at(toTwips, from.y());
        QTest::mousePress(ruler, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(ruler, to);
        QTest::mouseRelease(ruler, Qt::LeftButton, Qt::NoModifier, to);
    }

    // One screen pixel and one snapping step: how close a drag can land.
    double tolerance() const { return 1.0 / engine->pixelsPerTwip() + 90; }
};

#define COMPARE_TWIPS(points, twips)                                                               \
    QVERIFY2(std::abs((points) * TwipsPerPoint - (twips)) <= w.tolerance(),                        \
             qPrintable(QStringLiteral("%1 twips, expected %2").arg((points) * TwipsPerPoint).arg(twips)))

} // namespace

class tst_Ruler : public QObject
{
    Q_OBJECT

private slots:
    void unitFollowsLanguage()
    {
        QCOMPARE(TEngineRuler::unitForLanguage(81), TEngineRuler::Unit::Centimetre);
        QCOMPARE(TEngineRuler::unitForLanguage(49), TEngineRuler::Unit::Centimetre);
        QCOMPARE(TEngineRuler::unitForLanguage(1), TEngineRuler::Unit::Inch);
        QCOMPARE(TEngineRuler::unitForLanguage(44), TEngineRuler::Unit::Inch);
    }

    void findsTheEngineTiedToIt()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *ruler = new TEngineRuler;
        auto *other = new TTextEngine;
        auto *engine = new TTextEngine;
        layout->addWidget(ruler);
        layout->addWidget(other);
        layout->addWidget(engine);
        engine->setRulerHandle(ruler);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(ruler->engine(), engine);
    }

    void leftIndentDragChangesSelectedParagraphsInOneUndoStep()
    {
        RulerWindow w;
        w.selectFirstTwoParagraphs();
        QTextDocument *document = w.engine->document();

        w.drag(Marker::LeftIndent, 1440);
        COMPARE_TWIPS(w.paragraph(0).leftMargin(), 1440);
        COMPARE_TWIPS(w.paragraph(1).leftMargin(), 1440);
        QCOMPARE(w.paragraph(2).leftMargin(), 0.0);
        QCOMPARE(w.paragraph(0).textIndent(), 0.0);

        document->undo();
        QCOMPARE(w.paragraph(0).leftMargin(), 0.0);
        QCOMPARE(w.paragraph(1).leftMargin(), 0.0);
        QVERIFY(!document->isUndoAvailable());
    }

    void firstLineAndHangingIndents()
    {
        RulerWindow w;
        w.drag(Marker::FirstLineIndent, 1440);
        QCOMPARE(w.paragraph(0).leftMargin(), 0.0);
        COMPARE_TWIPS(w.paragraph(0).textIndent(), 1440);
        const double firstLine = w.paragraph(0).textIndent();

        // The hanging-indent triangle moves the left edge and leaves the
        // first line where it was.
        w.drag(Marker::HangingIndent, 720);
        COMPARE_TWIPS(w.paragraph(0).leftMargin(), 720);
        QCOMPARE(w.paragraph(0).leftMargin() + w.paragraph(0).textIndent(), firstLine);

        // The box under it moves both.
        const double indent = w.paragraph(0).textIndent();
        w.drag(Marker::LeftIndent, 2880);
        COMPARE_TWIPS(w.paragraph(0).leftMargin(), 2880);
        QCOMPARE(w.paragraph(0).textIndent(), indent);
        QCOMPARE(w.paragraph(1).leftMargin(), 0.0); // the caret's paragraph only
    }

    void rightIndentAndLimits()
    {
        RulerWindow w;
        const int textWidth = w.engine->model()->pageSetup().textWidth();
        w.drag(Marker::RightIndent, textWidth - 1440);
        COMPARE_TWIPS(w.paragraph(0).rightMargin(), 1440);

        // Indents cannot cross each other or leave the text area.
        w.drag(Marker::LeftIndent, textWidth);
        QVERIFY(w.paragraph(0).leftMargin() * TwipsPerPoint <= textWidth - 1440 - 360 + w.tolerance());
        w.drag(Marker::FirstLineIndent, -5000);
        QCOMPARE(w.paragraph(0).leftMargin() + w.paragraph(0).textIndent(), 0.0);
    }

    void clickAddsTabStopOfTheChosenType_data()
    {
        QTest::addColumn<QTextOption::TabType>("type");
        QTest::newRow("left") << QTextOption::LeftTab;
        QTest::newRow("right") << QTextOption::RightTab;
        QTest::newRow("centre") << QTextOption::CenterTab;
        QTest::newRow("decimal") << QTextOption::DelimiterTab;
    }

    void clickAddsTabStopOfTheChosenType()
    {
        QFETCH(QTextOption::TabType, type);
        RulerWindow w;
        TEngineButtonBar bar;
        w.engine->setButtonBarHandle(&bar);
        bar.tabTypeButton(type)->click();
        QCOMPARE(bar.tabType(), type);

        w.selectFirstTwoParagraphs();
        const QPoint click = w.at(2880, w.ruler->height() / 2);
        QTest::mouseClick(w.ruler, Qt::LeftButton, Qt::NoModifier, click);
        for (int number : { 0, 1 }) {
            const QList<QTextOption::Tab> tabs = w.paragraph(number).tabPositions();
            QCOMPARE(tabs.size(), 1);
            QCOMPARE(tabs.at(0).type, type);
            COMPARE_TWIPS(tabs.at(0).position, 2880);
        }
        QVERIFY(w.paragraph(2).tabPositions().isEmpty());
    }

    void tabStopsMoveAndTearOff()
    {
        RulerWindow w;
        QTest::mouseClick(w.ruler, Qt::LeftButton, Qt::NoModifier, w.at(1440, w.ruler->height() / 2));
        QTest::mouseClick(w.ruler, Qt::LeftButton, Qt::NoModifier, w.at(4320, w.ruler->height() / 2));
        QCOMPARE(w.paragraph(0).tabPositions().size(), 2);

        // The first stop moves past the second; the list stays in order.
        w.drag(Marker::TabStop, 5760, 0);
        QList<QTextOption::Tab> tabs = w.paragraph(0).tabPositions();
        QCOMPARE(tabs.size(), 2);
        COMPARE_TWIPS(tabs.at(0).position, 4320);
        COMPARE_TWIPS(tabs.at(1).position, 5760);

        // Dragged off the ruler, a stop goes; one undo brings it back.
        const QPoint from = w.ruler->markerRect(Marker::TabStop, 0).center();
        QTest::mousePress(w.ruler, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(w.ruler, from + QPoint(0, 60));
        QTest::mouseRelease(w.ruler, Qt::LeftButton, Qt::NoModifier, from + QPoint(0, 60));
        QCOMPARE(w.paragraph(0).tabPositions().size(), 1);
        w.engine->document()->undo();
        QCOMPARE(w.paragraph(0).tabPositions().size(), 2);
    }

    void escapeCancelsADrag()
    {
        RulerWindow w;
        const QPoint from = w.ruler->markerRect(Marker::LeftIndent).center();
        QTest::mousePress(w.ruler, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(w.ruler, w.at(2880, from.y()));
        QTest::keyClick(w.ruler, Qt::Key_Escape);
        QTest::mouseRelease(w.ruler, Qt::LeftButton, Qt::NoModifier, w.at(2880, from.y()));
        QCOMPARE(w.paragraph(0).leftMargin(), 0.0);
        QVERIFY(!w.engine->document()->isUndoAvailable());
    }

    // The ruler's zero stands over the left edge of the text, at any zoom
    // and scroll position.
    void scaleLinesUpWithTheText()
    {
        RulerWindow w;
        w.window.resize(500, 400); // narrower than the page: it scrolls sideways
        QCoreApplication::processEvents();
        const auto caretX = [&w] {
            const QWidget *engine = w.engine; // the query is public on QWidget
            const QRect caret = engine->inputMethodQuery(Qt::ImCursorRectangle).toRect();
            return w.engine->mapToGlobal(caret.topLeft()).x();
        };
        const auto rulerX = [&w] {
            return w.ruler->mapToGlobal(QPoint(int(std::lround(w.ruler->xForTwips(0))), 0)).x();
        };
        for (int zoom : { 100, 200 }) {
            w.engine->setZoomFactor(zoom);
            QCoreApplication::processEvents();
            QVERIFY2(std::abs(caretX() - rulerX()) <= 1, qPrintable(QStringLiteral("zoom %1: caret %2, ruler %3")
                                                                     .arg(zoom).arg(caretX()).arg(rulerX())));
        }
        QScrollBar *horizontal = w.engine->horizontalScrollBar();
        QVERIFY(horizontal->maximum() > 0);
        horizontal->setValue(horizontal->maximum() / 2);
        QCoreApplication::processEvents();
        QVERIFY2(std::abs(caretX() - rulerX()) <= 1,
                 qPrintable(QStringLiteral("scrolled: caret %1, ruler %2").arg(caretX()).arg(rulerX())));
    }

    // A tab stop set on the ruler is where the engine puts the text after
    // the tab.
    void tabStopLinesUpWithTheText()
    {
        RulerWindow w;
        QTest::mouseClick(w.ruler, Qt::LeftButton, Qt::NoModifier, w.at(2880, w.ruler->height() / 2));
        QCOMPARE(w.paragraph(0).tabPositions().size(), 1);
        QTextCursor cursor(w.engine->document());
        cursor.insertText(QStringLiteral("\t"));
        w.engine->setTextCursor(cursor); // just after the tab
        QCoreApplication::processEvents();
        const QWidget *engine = w.engine;
        const QRect caret = engine->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int caretX = w.engine->mapToGlobal(caret.topLeft()).x();
        const int stopX = w.ruler->mapToGlobal(w.at(w.paragraph(0).tabPositions().at(0).position * TwipsPerPoint, 0)).x();
        QVERIFY2(std::abs(caretX - stopX) <= 1, qPrintable(QStringLiteral("caret %1, stop %2").arg(caretX).arg(stopX)));
    }

    void scaleFollowsZoomAndMargins()
    {
        RulerWindow w;
        w.engine->setZoomFactor(100);
        const double inchAt100 = w.ruler->xForTwips(1440) - w.ruler->xForTwips(0);
        w.engine->setZoomFactor(200);
        const double inchAt200 = w.ruler->xForTwips(1440) - w.ruler->xForTwips(0);
        QVERIFY(std::abs(inchAt200 - 2 * inchAt100) < 1.0);

        // The scale's zero sits on the left margin wherever that is.
        tamapiko::engine::PageSetup page = w.engine->model()->pageSetup();
        const double before = w.ruler->xForTwips(0);
        page.marginLeft += 1440;
        w.engine->model()->setPageSetup(page);
        QVERIFY(std::abs(w.ruler->xForTwips(0) - before - inchAt200) < 1.0);
    }
};

QTEST_MAIN(tst_Ruler)
#include "tst_Ruler.moc"
