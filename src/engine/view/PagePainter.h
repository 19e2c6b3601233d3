#pragma once

// PagePainter: draws what one page of a PageLayout holds.
//
// The painter's transform maps twips, with the page's text area's top-left
// corner at the origin; SheetPainter sets that up for the screen view,
// PrintPage and the preview at their own scale, so every output shows the
// same lines at the same places. Caret and sheet decoration are the
// screen's own business and not drawn here.

#include <QColor>
#include <QPointF>

class QPainter;
class QTextBlock;
class QTextLine;
class QRectF;
class QTextTable;
class QTextTableCellFormat;

namespace tamapiko::engine {

class PageLayout;
struct FlowItem;
struct TableGeometry;

class PagePainter
{
public:
    struct Options
    {
        int selectionStart = 0;
        int selectionEnd = 0;            // equal to start: no selection
        bool controlChars = false;
        bool tableGridLines = false;     // dotted lines for borderless tables
        QColor highlight = QColor(51, 153, 255);
        QColor highlightedText = Qt::white;
        // Cells selected by dragging across them: shown as whole cells.
        const QTextTable *selectedTable = nullptr;
        int firstSelectedRow = 0;
        int firstSelectedColumn = 0;
        int selectedRows = 0;
        int selectedColumns = 0;
    };

    PagePainter(PageLayout &layout, const Options &options);

    void paintPage(QPainter *painter, int page);

private:
    void paintParagraph(QPainter *painter, int page, const QTextBlock &block);
    void paintTable(QPainter *painter, int page, QTextTable *table);
    void paintRows(QPainter *painter, int page, QTextTable *table, const TableGeometry &geometry, int firstRow,
                   int endRow);
    void paintFlat(QPainter *painter, int page, QTextTable *table, bool selected);
    void paintCellBorders(QPainter *painter, const QRectF &rect, const QTextTableCellFormat &cell, int tableBorder);
    void paintBlockText(QPainter *painter, int page, const QTextBlock &block, bool wholeSelected = false);
    bool cellSelected(const QTextTable *table, int row, int column) const;
    void paintParagraphFrame(QPainter *painter, int page, const QTextBlock &block);
    void paintListMarker(QPainter *painter, const QTextBlock &block);
    static bool hasHiddenText(const QTextBlock &block);
    // A line's glyphs but those of hidden text.
    void paintVisibleRuns(QPainter *painter, const QTextBlock &block, const QTextLine &line, QPointF origin);
    static void paintTrailingUnderline(QPainter *painter, const QTextBlock &block, const QTextLine &line,
                                       QPointF origin);
    // What fills the gaps that tabs with a leader jump over.
    void paintTabLeaders(QPainter *painter, const QTextBlock &block, const QTextLine &line, QPointF origin) const;
    void paintControlChars(QPainter *painter, int page, const QTextBlock &block);

    PageLayout &m_layout;
    Options m_options;
    // The column being painted: the flow y at its top, its end, its width.
    int m_pageTop = 0;
    int m_bandBottom = 0;
    int m_bandWidth = 0;
    bool inBand(int flowY) const { return flowY >= m_pageTop && flowY < m_bandBottom; }
};

} // namespace tamapiko::engine
