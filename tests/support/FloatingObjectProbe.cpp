#include "support/FloatingObjectProbe.h"

#include "engine/TTextEngine.h"
#include "engine/layout/PageLayout.h"
#include "engine/view/ViewGeometry.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

using namespace tamapiko::engine;

namespace tamapiko::test {

namespace {

PageLayout *layoutOf(TTextEngine &engine)
{
    return static_cast<PageLayout *>(engine.document()->documentLayout());
}

} // namespace

std::vector<PlacedObject> objectsOn(TTextEngine &engine, int page)
{
    PageLayout *layout = layoutOf(engine);
    layout->ensureComplete();
    return layout->floatingObjects().objectsOnPage(page);
}

std::vector<PlacedObject> allObjects(TTextEngine &engine)
{
    std::vector<PlacedObject> all;
    for (int page = 0; page < engine.CurrentPages(); ++page) {
        const std::vector<PlacedObject> some = objectsOn(engine, page);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

QRectF objectOnScreen(TTextEngine &engine, const PlacedObject &object)
{
    PageLayout *layout = layoutOf(engine);
    const ViewGeometry g(*layout, ViewGeometry::PageLayoutMode, engine.pixelsPerTwip(), engine.viewport()->width(),
                         layout->knownPageCount());
    const QPointF origin = g.sheetRect(object.page).topLeft()
        - QPointF(engine.horizontalScrollBar()->value(), engine.verticalScrollBar()->value());
    return QRectF(origin + QPointF(object.rect.topLeft()) * g.scale(), QSizeF(object.rect.size()) * g.scale());
}

QList<QRect> linesOnPage(TTextEngine &engine, int page)
{
    PageLayout *layout = layoutOf(engine);
    layout->ensureComplete();
    const PageFrame &frame = layout->pages().page(page);
    QList<QRect> lines;
    layout->forEachLineOnPage(page, 0, [&](const QTextBlock &block, int index, int top, int bottom) {
        const QTextLine line = block.layout()->lineAt(index);
        if (line.naturalTextWidth() < 1)
            return;
        lines.append(QRect(frame.body.left() + int(line.x()), frame.body.top() + top - frame.flowTop,
                           int(line.naturalTextWidth()), bottom - top));
    });
    return lines;
}

void dragWithMouse(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    QTest::mouseMove(widget, from + (to - from) / 2);
    QTest::mouseMove(widget, to);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}

} // namespace tamapiko::test
