// Pictures at a fixed place on the page: text goes around them, they stay
// with their paragraph, they show on every output, and the mouse selects,
// moves and resizes them, each change one undo step.

#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "engine/layout/FloatingObjects.h"
#include "engine/layout/PageLayout.h"
#include "support/FloatingObjectProbe.h"

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

// 200 x 100 pixels at 96 dpi: 3000 x 1500 twips.
QString writeRedPicture(const QTemporaryDir &dir)
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    const QString path = dir.filePath(QStringLiteral("red.png"));
    image.save(path);
    return path;
}

void fillWithJapanese(TTextEngine &engine, int paragraphs)
{
    QStringList text;
    for (int i = 0; i < paragraphs; ++i)
        text << QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめした所で"
                               "ニャーニャー泣いていた事だけは記憶している。%1").arg(i);
    QTextCursor(engine.document()).insertText(text.join(QChar::ParagraphSeparator));
}

// The engine on screen with 20 paragraphs and the picture inserted `top`
// twips below where the view is scrolled to.
bool showWithPicture(TTextEngine &engine, const QTemporaryDir &dir, int top)
{
    engine.resize(1000, 800);
    engine.show();
    if (!QTest::qWaitForWindowExposed(&engine))
        return false;
    fillWithJapanese(engine, 20);
    return engine.InsertObjectFixed(0, writeRedPicture(dir), 2000, engine.ScrollPosY() + top, 100, 100, 0, 1, 3, 3, 0,
                                    0, 0, 0, 0) == 0;
}

} // namespace

class tst_FloatingObjects : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void textFlowsAroundAndStaysWithItsParagraph()
    {
        TTextEngine engine;
        engine.resize(900, 700);
        fillWithJapanese(engine, 40);
        const int left = 4000;
        const int top = 5000;
        QCOMPARE(engine.InsertObjectFixed(0, writeRedPicture(m_dir), left, engine.ScrollPosY() + top, 100, 100, 0,
                                          1, 3, 3, 0, 0, 0, 0, 0), 0);
        std::vector<PlacedObject> objects = objectsOn(engine, 0);
        QCOMPARE(objects.size(), size_t(1));
        const QRect picture = objects.front().rect;
        QCOMPARE(picture.size(), QSize(3000, 1500));
        QVERIFY2(qAbs(picture.left() - left) < 20, qPrintable(QString::number(picture.left())));

        // Lines beside the picture are shorter and keep clear of it; lines
        // above and below it run the whole width.
        const QList<QRect> lines = linesOnPage(engine, 0);
        int beside = 0;
        int full = 0;
        for (const QRect &line : lines) {
            QVERIFY2(!line.intersects(picture), "a line runs through the picture");
            if (line.bottom() > picture.top() && line.top() < picture.bottom())
                ++beside;
            else if (line.width() > 8000)
                ++full;
        }
        QVERIFY2(beside >= 3, qPrintable(QString::number(beside)));
        QVERIFY(full > 10);

        // Text typed above moves the paragraph, and its picture with it, to
        // the next page, where it stands at the same place.
        const int anchor = objects.front().position;
        QTextCursor start(engine.document());
        for (int i = 0; i < 60; ++i)
            start.insertText(QStringLiteral("前書き\n"));
        const int anchorPage = static_cast<PageLayout *>(engine.document()->documentLayout())
                                   ->pageOfPosition(anchor + 60 * 4);
        QVERIFY(anchorPage >= 1);
        QVERIFY(objectsOn(engine, 0).empty());
        objects = objectsOn(engine, anchorPage);
        QCOMPARE(objects.size(), size_t(1));
        QCOMPARE(objects.front().rect, picture);
        for (const QRect &line : linesOnPage(engine, anchorPage))
            QVERIFY(!line.intersects(picture));

        // With no text beside it, lines skip the picture's band.
        QTextCursor character(engine.document());
        character.setPosition(objects.front().position);
        character.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        QTextImageFormat format = character.charFormat().toImageFormat();
        format.setProperty(AnchoredWrap, int(AnchorWrap::TopAndBottom));
        character.setCharFormat(format);
        for (const QRect &line : linesOnPage(engine, anchorPage))
            QVERIFY(line.bottom() <= picture.top() || line.top() >= picture.bottom());

        // Deleting the anchor takes the picture away, and the room comes back.
        character.removeSelectedText();
        QVERIFY(objectsOn(engine, anchorPage).empty());
        bool crossesBand = false;
        for (const QRect &line : linesOnPage(engine, anchorPage))
            crossesBand = crossesBand || line.intersects(picture);
        QVERIFY(crossesBand);
    }

    void printedPageShowsThePicture()
    {
        TTextEngine engine;
        fillWithJapanese(engine, 5);
        QCOMPARE(engine.InsertObjectFixed(0, writeRedPicture(m_dir), 2880, 2880, 100, 100, 0, 1, 3, 3, 0, 0, 0, 0,
                                          0), 0);
        QImage page(engine.PageWidth() / 20, engine.PageHeight() / 20, QImage::Format_RGB32);
        page.setDotsPerMeterX(2835); // 72 dpi: one pixel a point
        page.setDotsPerMeterY(2835);
        page.fill(Qt::white);
        QPainter painter(&page);
        engine.setPrintDevice(&painter);
        QVERIFY(engine.PrintPage(1));
        painter.end();
        // One pixel a point: the picture's 150 x 75 points where it stands.
        const QRect picture = objectsOn(engine, 0).front().rect;
        QCOMPARE(picture.size(), QSize(3000, 1500));
        const QPoint centre = picture.center() / 20;
        QCOMPARE(page.pixelColor(centre), QColor(Qt::red));
        QVERIFY(page.pixelColor(centre + QPoint(0, 45)) != QColor(Qt::red));
        QVERIFY(page.pixelColor(centre - QPoint(80, 0)) != QColor(Qt::red));
    }

    void mouseSelectsMovesAndResizes()
    {
        TTextEngine engine;
        QVERIFY(showWithPicture(engine, m_dir, 3000));
        const PlacedObject before = objectsOn(engine, 0).front();
        const double scale = engine.pixelsPerTwip();
        QWidget *viewport = engine.viewport();

        // Dragging the picture moves it by as much as the pointer moved.
        const QPoint grip = objectOnScreen(engine, before).center().toPoint();
        const QPoint delta(60, 90);
        dragWithMouse(viewport, grip, grip + delta);
        const PlacedObject moved = objectsOn(engine, 0).front();
        QVERIFY2(qAbs(moved.rect.left() - before.rect.left() - delta.x() / scale) < 2 / scale,
                 qPrintable(QStringLiteral("%1 -> %2").arg(before.rect.left()).arg(moved.rect.left())));
        QVERIFY(qAbs(moved.rect.top() - before.rect.top() - delta.y() / scale) < 2 / scale);
        QCOMPARE(moved.rect.size(), before.rect.size());
        QVERIFY(!engine.document()->toPlainText().isEmpty());

        // The bottom-right handle makes it larger; the text moves aside.
        const QPoint corner = objectOnScreen(engine, moved).bottomRight().toPoint();
        dragWithMouse(viewport, corner, corner + QPoint(40, 50));
        const PlacedObject resized = objectsOn(engine, 0).front();
        QCOMPARE(resized.rect.topLeft(), moved.rect.topLeft());
        QVERIFY(qAbs(resized.rect.width() - moved.rect.width() - 40 / scale) < 3 / scale);
        QVERIFY(qAbs(resized.rect.height() - moved.rect.height() - 50 / scale) < 3 / scale);
        for (const QRect &line : linesOnPage(engine, 0))
            QVERIFY2(!line.intersects(resized.rect), qPrintable(QStringLiteral("line %1,%2 %3x%4 object %5,%6 %7x%8")
                .arg(line.x()).arg(line.y()).arg(line.width()).arg(line.height())
                .arg(resized.rect.x()).arg(resized.rect.y()).arg(resized.rect.width()).arg(resized.rect.height())));

        // Each is one step of undo.
        QVERIFY(engine.Undo());
        QCOMPARE(objectsOn(engine, 0).front().rect, moved.rect);
        QVERIFY(engine.Undo());
        QCOMPARE(objectsOn(engine, 0).front().rect, before.rect);
        QVERIFY(engine.Redo());
        QCOMPARE(objectsOn(engine, 0).front().rect, moved.rect);

        // A click without moving only selects; Delete then removes it.
        const QPoint centre = objectOnScreen(engine, objectsOn(engine, 0).front()).center().toPoint();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
        QCOMPARE(objectsOn(engine, 0).front().rect, moved.rect);
        QTest::keyClick(&engine, Qt::Key_Delete);
        QVERIFY(objectsOn(engine, 0).empty());
        QVERIFY(engine.Undo());
        QCOMPARE(objectsOn(engine, 0).size(), size_t(1));
    }

    void textMovesAsideWhenTheRestIsLaidOutLater()
    {
        // A picture anchored in the first paragraph is dragged down the
        // page. The edit lays out only a little at once (a busy machine);
        // the rest, laid out later, must still make room beside the picture
        // below paragraphs it never stood beside.
        TTextEngine engine;
        QVERIFY(showWithPicture(engine, m_dir, 100));
        const PlacedObject before = objectsOn(engine, 0).front();
        QCOMPARE(before.position, 0);
        static_cast<PageLayout *>(engine.document()->documentLayout())->setForegroundBudget(0);

        const QRectF onScreen = objectOnScreen(engine, before);
        const QPoint grip = onScreen.center().toPoint();
        dragWithMouse(engine.viewport(), grip, grip + QPoint(0, int(onScreen.height() * 3)));
        const PlacedObject moved = objectsOn(engine, 0).front();
        QVERIFY(moved.rect.top() > before.rect.bottom() + 2000);
        int beside = 0;
        for (const QRect &line : linesOnPage(engine, 0)) {
            QVERIFY2(!line.intersects(moved.rect), qPrintable(QStringLiteral("line %1,%2 %3x%4")
                .arg(line.x()).arg(line.y()).arg(line.width()).arg(line.height())));
            beside += line.bottom() > moved.rect.top() && line.top() < moved.rect.bottom();
        }
        QVERIFY(beside >= 3);
    }

    void doubleSpacedLinesKeepClearOfThePicture()
    {
        // Whether a paragraph meets a picture goes by its lines as spaced:
        // a double-spaced paragraph reaches twice as far down as Qt's own
        // lines say.
        for (int top = 3000; top <= 6000; top += 300) {
            TTextEngine engine;
            engine.resize(900, 700);
            fillWithJapanese(engine, 30);
            QTextCursor all(engine.document());
            all.select(QTextCursor::Document);
            QTextBlockFormat spaced;
            spaced.setLineHeight(200, QTextBlockFormat::ProportionalHeight);
            all.mergeBlockFormat(spaced);
            QCOMPARE(engine.InsertObjectFixed(0, writeRedPicture(m_dir), 4000, engine.ScrollPosY() + top, 100, 100,
                                              0, 1, 3, 3, 0, 0, 0, 0, 0), 0);
            const QRect picture = objectsOn(engine, 0).front().rect;
            for (const QRect &line : linesOnPage(engine, 0))
                QVERIFY2(!line.intersects(picture), qPrintable(QStringLiteral("picture at %1: line at %2")
                                                                   .arg(picture.top()).arg(line.top())));
        }
    }
};

QTEST_MAIN(tst_FloatingObjects)
#include "tst_FloatingObjects.moc"
