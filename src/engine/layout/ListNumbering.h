#pragma once

// ListNumbering: what a list item shows in front of its first line, and
// where it goes.
//
// Lists are Qt's QTextList, one per list and level (QTextListFormat's
// indent is the level, from 1). The levels of one list from a file share a
// ListGroup number, so that an item of a lower level restarts the numbers
// below it, as word processors number outlines. Numbers are counted when
// they are shown, so they follow every edit without being stored.

#include <QFont>
#include <QString>
#include <QTextListFormat>

class QPaintDevice;
class QTextBlock;

namespace tamapiko::engine {

struct BlockMetrics;

struct ListMarker
{
    QString text;          // empty: the block is no list item
    QFont font;
    int numberX = 0;       // twips from the text area's left edge
    int textX = 0;         // where the first line's text starts
    int leftIndent = 0;    // where the lines after the first start
    bool isValid() const { return !text.isEmpty(); }
};

class ListNumbering
{
public:
    // How far each level of a list without indents of its own (HTML, a
    // list the user made) is indented, and how far its numbers hang.
    static constexpr int LevelIndent = 360;

    // The item's number (start included), 0 for a block in no list.
    static int number(const QTextBlock &block);
    // `number` written in a list style: 3, c, C, iii, III; bullets for
    // the bullet styles.
    static QString numberText(int number, QTextListFormat::Style style);
    // What the item shows: "3.", "(c)", "•"; empty for no list.
    static QString itemText(const QTextBlock &block);
    // The marker and the indents of a list item laid out with `metrics` on
    // `device`; `defaultTab` is the document's default tab distance.
    static ListMarker marker(const QTextBlock &block, const BlockMetrics &metrics, int defaultTab,
                             QPaintDevice *device);
};

} // namespace tamapiko::engine
