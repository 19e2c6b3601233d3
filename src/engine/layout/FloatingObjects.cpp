#include "engine/layout/FloatingObjects.h"

#include "engine/ResourceImage.h"
#include "engine/layout/BlockMetrics.h"
#include "engine/layout/PageTable.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <climits>

namespace tamapiko::engine {

namespace {

// Files may say anything; an object is kept within a few pages' reach.
constexpr int LargestOffset = 4 * PageSetup::LargestTwips;

int boundedTwips(qreal value, int low, int high)
{
    if (!(value == value)) // NaN
        return low;
    return int(std::clamp<qreal>(value, low, high));
}

template<typename Enum>
Enum boundedEnum(int value, Enum last)
{
    return Enum(std::clamp(value, 0, int(last)));
}

} // namespace

// ---------------------------------------------------------------------------
// Placement kept in the format

bool isAnchoredObject(const QTextFormat &format)
{
    return format.isImageFormat() && format.boolProperty(AnchoredObject);
}

std::optional<AnchoredPlacement> AnchoredPlacement::of(const QTextFormat &format)
{
    if (!isAnchoredObject(format))
        return std::nullopt;
    const QTextImageFormat image = format.toImageFormat();
    AnchoredPlacement placement;
    placement.left = boundedTwips(format.intProperty(AnchoredLeft), -LargestOffset, LargestOffset);
    placement.top = boundedTwips(format.intProperty(AnchoredTop), -LargestOffset, LargestOffset);
    placement.width = boundedTwips(image.width() * 20, 1, PageSetup::LargestTwips);
    placement.height = boundedTwips(image.height() * 20, 1, PageSetup::LargestTwips);
    placement.horizontalFrom = boundedEnum(format.intProperty(AnchoredHorizontalFrom), AnchorOrigin::Paragraph);
    placement.verticalFrom = boundedEnum(format.intProperty(AnchoredVerticalFrom), AnchorOrigin::Paragraph);
    placement.wrap = boundedEnum(format.intProperty(AnchoredWrap), AnchorWrap::None);
    return placement;
}

void AnchoredPlacement::applyTo(QTextFormat &format) const
{
    format.setProperty(AnchoredObject, true);
    format.setProperty(AnchoredLeft, left);
    format.setProperty(AnchoredTop, top);
    format.setProperty(AnchoredHorizontalFrom, int(horizontalFrom));
    format.setProperty(AnchoredVerticalFrom, int(verticalFrom));
    format.setProperty(AnchoredWrap, int(wrap));
    format.setProperty(QTextFormat::ImageWidth, width / 20.0);
    format.setProperty(QTextFormat::ImageHeight, height / 20.0);
}

// ---------------------------------------------------------------------------
// Where the objects stand

FloatingObjects::FloatingObjects(QTextDocument *document, const PageTable &pages)
    : m_document(document), m_pages(pages)
{
}

void FloatingObjects::noteChanged(int page)
{
    if (page >= 0 && (m_changedPage < 0 || page < m_changedPage))
        m_changedPage = page;
}

int FloatingObjects::takeChangedPage()
{
    return std::exchange(m_changedPage, -1);
}

void FloatingObjects::prune()
{
    const int end = m_document->characterCount() - 1;
    QSet<int> seen;
    std::erase_if(m_objects, [&](const Entry &entry) {
        const int position = entry.anchor.position();
        bool alive = !entry.anchor.isNull() && position < end && !seen.contains(position)
            && m_document->characterAt(position) == QChar::ObjectReplacementCharacter;
        if (alive) {
            QTextCursor character(m_document);
            character.setPosition(position + 1);
            alive = isAnchoredObject(character.charFormat());
        }
        if (!alive)
            noteChanged(entry.placed.page);
        else
            seen.insert(position);
        return !alive;
    });
}

QRect FloatingObjects::sheetRect(const AnchoredPlacement &placement, int page, int paragraphTop) const
{
    const PageFrame &frame = m_pages.page(page);
    const int x = placement.horizontalFrom == AnchorOrigin::Page ? placement.left
                                                                 : frame.body.left() + placement.left;
    int y = placement.top;
    if (placement.verticalFrom == AnchorOrigin::Margin)
        y += frame.body.top();
    else if (placement.verticalFrom == AnchorOrigin::Paragraph)
        y += paragraphTop;
    return QRect(x, y, placement.width, placement.height);
}

void FloatingObjects::placeAnchors(const QTextBlock &block, int top)
{
    const QTextLayout *layout = block.layout();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid() || !fragment.charFormat().isImageFormat())
            continue;
        const std::optional<AnchoredPlacement> placement = AnchoredPlacement::of(fragment.charFormat());
        if (!placement)
            continue;
        for (int i = 0; i < fragment.length(); ++i) {
            const int position = fragment.position() + i;
            // The page of the line that holds the anchor, as broken so far.
            int lineTop = top;
            const QTextLine line = layout->lineForTextPosition(position - block.position());
            if (line.isValid() && line.lineNumber() > 0)
                lineTop += int(line.y() - layout->lineAt(0).y());
            const int page = m_pages.pageOfY(lineTop);
            const PageFrame &frame = m_pages.page(page);
            const int paragraphTop = top - frame.flowTop + frame.body.top();

            PlacedObject placed;
            placed.position = position;
            placed.page = page;
            placed.rect = sheetRect(*placement, page, paragraphTop);
            placed.wrap = placement->wrap;
            placed.format = fragment.charFormat().toImageFormat();

            auto known = std::find_if(m_objects.begin(), m_objects.end(), [position](const Entry &entry) {
                return entry.anchor.position() == position;
            });
            if (known == m_objects.end()) {
                Entry entry{QTextCursor(m_document), placed};
                entry.anchor.setPosition(position);
                m_objects.push_back(std::move(entry));
                noteChanged(page);
                continue;
            }
            if (known->placed.page != page || known->placed.rect != placed.rect || known->placed.wrap != placed.wrap) {
                noteChanged(known->placed.page);
                noteChanged(page);
            }
            known->placed = placed;
        }
    }
}

// ---------------------------------------------------------------------------
// Lines around them

FloatingObjects::Room FloatingObjects::roomBeside(int page, int top, int bottom, int left, int right) const
{
    const PageFrame &frame = m_pages.page(page);
    // The free stretches of the band, narrowed by every object it meets.
    std::vector<std::pair<int, int>> free{{left, right}};
    int lowestBottom = INT_MAX;
    bool blocked = false;
    for (const Entry &entry : m_objects) {
        const PlacedObject &object = entry.placed;
        if (object.page != page || object.wrap == AnchorWrap::None)
            continue;
        const int objectTop = frame.flowTop + object.rect.top() - frame.body.top();
        const int objectBottom = objectTop + object.rect.height();
        if (objectBottom <= top || objectTop >= bottom)
            continue;
        lowestBottom = std::min(lowestBottom, objectBottom);
        if (object.wrap == AnchorWrap::TopAndBottom) {
            blocked = true;
            continue;
        }
        const int objectLeft = object.rect.left() - frame.body.left() - TextDistance;
        const int objectRight = object.rect.left() + object.rect.width() - frame.body.left() + TextDistance;
        std::vector<std::pair<int, int>> narrowed;
        for (const auto &[from, to] : free) {
            if (objectLeft > from)
                narrowed.emplace_back(from, std::min(to, objectLeft));
            if (objectRight < to)
                narrowed.emplace_back(std::max(from, objectRight), to);
        }
        free = std::move(narrowed);
    }
    Room room{left, right, -1};
    if (lowestBottom == INT_MAX)
        return room;
    // Word's "largest side only": the text goes to the widest stretch.
    const auto widest = std::max_element(free.cbegin(), free.cend(), [](const auto &a, const auto &b) {
        return a.second - a.first < b.second - b.first;
    });
    if (blocked || widest == free.cend() || widest->second - widest->first < NarrowestLine) {
        room.blockedUntil = lowestBottom;
        return room;
    }
    room.left = widest->first;
    room.right = widest->second;
    return room;
}

bool FloatingObjects::shapesParagraph(const QTextBlock &block, int top, int height) const
{
    const QTextLayout *layout = block.layout();
    if (m_shaped.contains(layout))
        return true;
    if (m_objects.empty())
        return false;
    height = std::max(1, height);
    for (const Entry &entry : m_objects) {
        const PlacedObject &object = entry.placed;
        if (object.wrap == AnchorWrap::None || object.page < 0)
            continue;
        const PageFrame &frame = m_pages.page(object.page);
        const int objectTop = frame.flowTop + object.rect.top() - frame.body.top();
        if (objectTop < top + height && objectTop + object.rect.height() > top)
            return true;
    }
    return false;
}

int FloatingObjects::placeLinesAround(const QTextBlock &block, int entry, int y, int width,
                                      const std::function<int(const QTextLine &)> &advance,
                                      const std::function<void(int line, int top)> &placed)
{
    // The same indents as plain breaking; the text option was set by it.
    QTextLayout *layout = block.layout();
    const BlockMetrics metrics(block.blockFormat());
    bool shaped = false;
    layout->beginLayout();
    for (int index = 0;; ++index) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        const int fullLeft = std::max(0, metrics.leftIndent + (index == 0 ? metrics.firstLineIndent : 0));
        const int fullRight = std::max(fullLeft + 1, width - metrics.rightIndent);
        line.setLeadingIncluded(true);
        line.setLineWidth(fullRight - fullLeft);
        int height = advance(line);
        int x = fullLeft;
        // Each round either fits the line, moves it below what blocks it
        // (a page further at most per round) or makes it taller; bounded in
        // case objects overlap in odd ways.
        for (int round = 0; round < 64; ++round) {
            int page = m_pages.pageOfY(y);
            if (y > m_pages.flowTop(page) && y + height > m_pages.flowBottom(page))
                y = m_pages.flowTop(++page);
            const Room room = roomBeside(page, y, y + height, fullLeft, fullRight);
            if (room.blockedUntil >= 0) {
                shaped = true;
                y = std::max(y + 1, room.blockedUntil);
                continue;
            }
            if (room.right - room.left != int(line.width()))
                line.setLineWidth(room.right - room.left);
            shaped = shaped || room.left != fullLeft || room.right != fullRight;
            x = room.left;
            const int measured = advance(line);
            if (measured > height) {
                height = measured; // a taller line meets more: look again
                continue;
            }
            height = measured;
            break;
        }
        line.setPosition(QPointF(x, y - entry));
        placed(index, y);
        y += height;
    }
    layout->endLayout();
    if (shaped)
        m_shaped.insert(layout);
    else
        m_shaped.remove(layout);
    return y;
}

// ---------------------------------------------------------------------------
// Queries and painting

std::vector<PlacedObject> FloatingObjects::objectsOnPage(int page) const
{
    std::vector<PlacedObject> objects;
    for (const Entry &entry : m_objects) {
        if (entry.placed.page == page)
            objects.push_back(entry.placed);
    }
    std::sort(objects.begin(), objects.end(), [](const PlacedObject &a, const PlacedObject &b) {
        return a.position < b.position;
    });
    return objects;
}

std::optional<PlacedObject> FloatingObjects::objectAt(int position) const
{
    for (const Entry &entry : m_objects) {
        if (entry.anchor.position() == position)
            return entry.placed;
    }
    return std::nullopt;
}

void FloatingObjects::paintPage(QPainter *painter, int page) const
{
    for (const PlacedObject &object : objectsOnPage(page)) {
        const QImage image = resourceImage(m_document, object.format.name());
        painter->save();
        if (image.isNull()) {
            painter->setPen(QPen(Qt::gray, 0));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(object.rect);
            painter->drawLine(object.rect.topLeft(), object.rect.bottomRight());
            painter->drawLine(object.rect.topRight(), object.rect.bottomLeft());
        } else {
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawImage(QRectF(object.rect), image);
        }
        painter->restore();
    }
}

} // namespace tamapiko::engine
