#pragma once

// FloatingObjects: pictures and objects at a fixed place on the page.
//
// An anchored object is a character of the paragraph it belongs to (its
// anchor), laid out with no width; its image format says where it stands on
// the page (AnchoredPlacement) and how text goes around it. The object goes
// to the page its paragraph starts on, so that it moves on with its
// paragraph when text above grows, and stays put on the page while text
// around it changes.
//
// While the layout stacks paragraphs it tells this class where each anchor
// lands (placeAnchors) and asks it for the room a line has beside the
// objects on its page (placeLinesAround). When an object appears, moves or
// goes away on a page already stacked, the layout stacks that page again
// (takeChangedPage).

#include "engine/EngineProperties.h"

#include <QImage>
#include <QRect>
#include <QSet>
#include <QTextCursor>
#include <QTextFormat>

#include <functional>
#include <optional>
#include <vector>

class QPainter;
class QTextBlock;
class QTextDocument;
class QTextLayout;
class QTextLine;

namespace tamapiko::engine {

class PageTable;

// Where an anchored object stands, as its format keeps it.
struct AnchoredPlacement
{
    int left = 0;                    // twips from the horizontal origin
    int top = 0;                     // twips from the vertical origin
    int width = 1440;                // twips
    int height = 1440;
    AnchorOrigin horizontalFrom = AnchorOrigin::Page;
    AnchorOrigin verticalFrom = AnchorOrigin::Page;
    AnchorWrap wrap = AnchorWrap::Square;

    // Nothing when the format is not of an anchored object.
    static std::optional<AnchoredPlacement> of(const QTextFormat &format);
    // Makes `format` an anchored object standing here.
    void applyTo(QTextFormat &format) const;
    bool operator==(const AnchoredPlacement &) const = default;
};

bool isAnchoredObject(const QTextFormat &format);

// One anchored object as laid out.
struct PlacedObject
{
    int position = -1;               // its anchor character
    int page = -1;
    QRect rect;                      // twips from the sheet's top-left corner
    AnchorWrap wrap = AnchorWrap::Square;
    QTextImageFormat format;
};

class FloatingObjects
{
public:
    // Room kept between an object and the text beside it, twips.
    static constexpr int TextDistance = 180;
    // A line narrower than this beside an object moves below it instead.
    static constexpr int NarrowestLine = 720;

    FloatingObjects(QTextDocument *document, const PageTable &pages);

    bool isEmpty() const { return m_objects.empty(); }

    // Drops objects whose anchor is gone (deleted, or another document
    // loaded); their pages count as changed.
    void prune();
    // Records where the anchors of `block` stand: the paragraph's first
    // line is at flow y `top`.
    void placeAnchors(const QTextBlock &block, int top);
    // The first page whose objects changed since the last call; -1 if none.
    int takeChangedPage();

    // Whether the lines of `block`, starting at flow y `top` and `height`
    // tall when broken plainly, must be broken around objects (or were, and
    // must be broken plainly again).
    bool shapesParagraph(const QTextBlock &block, int top, int height) const;
    // Whether any paragraph may be: false spares measuring paragraphs.
    bool mayShapeParagraphs() const { return !m_objects.empty() || !m_shaped.isEmpty(); }
    // Breaks and places the lines of a paragraph whose first line goes to
    // flow y `y` (positions relative to the layout's origin at `entry`),
    // shortening or moving down the lines that meet an object. Pages break
    // as in plain placement: `advance` measures a line, `placed` is told
    // each line's index and flow y. Returns the flow y below the last line.
    int placeLinesAround(const QTextBlock &block, int entry, int y, int width,
                         const std::function<int(const QTextLine &)> &advance,
                         const std::function<void(int line, int top)> &placed);

    // Objects standing on a page, in document order.
    std::vector<PlacedObject> objectsOnPage(int page) const;
    // The object whose anchor is at `position`.
    std::optional<PlacedObject> objectAt(int position) const;

    // Paints the objects of a page; the painter maps twips with the sheet's
    // top-left corner at the origin.
    void paintPage(QPainter *painter, int page) const;

private:
    struct Entry
    {
        QTextCursor anchor;          // follows the character through edits
        PlacedObject placed;
    };
    struct Room
    {
        int left = 0;
        int right = 0;
        int blockedUntil = -1;       // flow y below what blocks the band; -1: not blocked
    };

    // The object's rectangle on its page, twips from the sheet's corner.
    QRect sheetRect(const AnchoredPlacement &placement, int page, int paragraphTop) const;
    // The room a line has in the flow band [top, bottom) of a page between
    // body x `left` and `right`.
    Room roomBeside(int page, int top, int bottom, int left, int right) const;
    void noteChanged(int page);

    QTextDocument *m_document;
    const PageTable &m_pages;
    std::vector<Entry> m_objects;
    QSet<const QTextLayout *> m_shaped;  // paragraphs whose lines go around an object
    int m_changedPage = -1;
};

} // namespace tamapiko::engine
