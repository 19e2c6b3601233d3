#pragma once

// PageLayout: the one layout of a document, in twips, broken into pages.
//
// Every block is broken into lines with its own QTextLayout on a fixed
// virtual device of 1440 dots per inch, so one layout unit is one twip and no
// metric depends on a screen. Lines and table rows are then stacked into
// "flow" coordinates: the page table (PageTable) says which band of flow y
// each page's body covers, and x is measured from the left margin. The
// screen view, the print path and hit-testing all read this
// one layout, so pages break at the same places whatever paints them.
//
// Edits arrive through documentChanged(): only the touched blocks are broken
// into lines again, and the lines after them are restacked until an unchanged
// block lands where it was before. Very long documents are stacked in slices
// on the event loop after the first pages; anything that needs a page that
// is not stacked yet (a paint, a hit test, the page count) finishes the work
// up to it first, so callers never see a wrong page.

#include "engine/DocumentModel.h"
#include "engine/Sections.h"
#include "engine/layout/EastAsianLineHeight.h"
#include "engine/layout/FloatingObjects.h"
#include "engine/layout/PageNotes.h"
#include "engine/layout/PageTable.h"
#include "engine/layout/TableLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTimer>

#include <climits>
#include <functional>
#include <vector>

class QTextTable;
class QTextLine;

namespace tamapiko::engine {

// One top-level item of the flow: a paragraph of the root frame, or a whole
// table (with everything nested inside it).
struct FlowItem
{
    QTextBlock block;                // the paragraph, or the table's first block
    QTextTable *table = nullptr;
    bool isValid() const { return block.isValid(); }
};

class PageLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    explicit PageLayout(QTextDocument *document);
    ~PageLayout() override;

    void setPageSetup(const PageSetup &page);
    const PageSetup &pageSetup() const { return m_page; }
    // Pages that are not all alike (tests, sections): the provider gives the
    // set-up of each page; setPageSetup() makes them alike again.
    void setPageProvider(PageTable::Provider provider);
    // The heights of the headers and footers pages show, which the body
    // makes way for (none: pages without them, all alike); call
    // bandHeightsChanged() when they may have changed.
    void setBandHeights(PageTable::Bands bands);
    void bandHeightsChanged();
    const PageTable &pages() const { return m_pages; }
    // Pictures and objects at a fixed place, as stacked.
    const FloatingObjects &floatingObjects() const { return m_floating; }
    // Footnotes and endnotes, as stacked.
    const PageNotes &notes() const { return m_notes; }
    int textWidth() const;           // twips, never below a usable minimum (the first section's)
    // Sections: the first is the page set-up's, each later one begins at
    // its paragraph (or table) in the flow.
    int sectionCount() const { return int(m_sections.size()); }
    const SectionSetup &section(int index) const { return m_sections[index].setup; }
    int sectionOf(const QTextBlock &block) const;
    // The width lines of a section are broken to, twips.
    int sectionWidth(int section) const;
    int textHeight() const;          // of the first page

    // Lays out everything now; afterwards pageCount() is final.
    void ensureComplete();
    // Lays out at least up to the end of the given page (from 0).
    void ensurePage(int page);
    // Lays out at least up to the given document position.
    void ensurePosition(int position);
    bool isComplete() const { return m_resumePosition < 0; }
    // How long an edit may stack synchronously before the rest goes to the
    // event loop (tests set 0 to exercise the background path).
    void setForegroundBudget(qint64 ms) { m_foregroundBudgetMs = ms; }
    // Pages known so far; final once isComplete().
    int knownPageCount() const { return m_pages.count(); }
    // Blocks broken into lines since the layout was made: an edit should
    // add only about as many as it touched.
    int brokenBlockCount() const { return m_brokenBlocks; }

    // Geometry in flow coordinates.
    int pageOfY(qreal flowY) const { return m_pages.pageOfY(flowY); }
    int pageTop(int page) const { return m_pages.flowTop(page); }
    int pageBottom(int page) const { return m_pages.flowBottom(page); }
    int pageOfPosition(int position);
    QRectF caretRect(int position);   // zero width; x, top and height of the line
    // The same for an index into a block layout's text (preedit included).
    QRectF caretRectAt(const QTextBlock &block, int layoutIndex);
    int hitTestFlow(int page, const QPointF &flowPoint);
    // The position on the line above (direction -1) or below (+1) the one
    // holding `position`, nearest to x; the same position at either end.
    int verticalNeighbour(int position, int direction, qreal x);
    // Every line on a page; in tables only the cells of the column at x.
    void forEachLineOnPage(int page, qreal x,
                           const std::function<void(const QTextBlock &, int line, int top, int bottom)> &visit);
    // The line that holds a position: its page, and its index among the
    // lines of that page (from 0).
    int lineOnPage(int position);

    // Walks the items that have lines on a page, in document order.
    void forEachItemOnPage(int page, const std::function<void(const FlowItem &)> &visit);
    const TableGeometry *tableGeometry(QTextTable *table) const;
    FlowItem itemAt(const QTextBlock &block) const;

    // A block's line as stacked: top in flow coordinates and advance.
    int lineTop(const QTextBlock &block, int lineIndex) const;
    int lineAdvance(const QTextBlock &block, const QTextLine &line) const;
    // The room a line takes by its own fonts and spacing alone (no line
    // grid, nothing borrowed from a picture): lines within a paragraph and
    // in table cells.
    int plainLineAdvance(const QTextBlock &block, const QTextLine &line) const;

    // The virtual device every block is laid out on.
    static QPaintDevice *layoutDevice();

    // QAbstractTextDocumentLayout
    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // Hidden text takes its room and shows (with the marks on), or neither.
    void setShowHiddenText(bool show);
    bool showsHiddenText() const { return m_showHiddenText; }

    // Blocks whose preedit text changed need breaking again.
    void invalidateBlock(const QTextBlock &block);
    // While suspended (a document being loaded) edits only mark the layout
    // stale; resuming lays everything out anew.
    void setSuspended(bool suspended);

signals:
    // Pages from `firstPage` on may look different now.
    void pagesChanged(int firstPage);

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;
    void resizeInlineObject(QTextInlineObject item, int posInDocument, const QTextFormat &format) override;
    void positionInlineObject(QTextInlineObject item, int posInDocument, const QTextFormat &format) override;
    void drawInlineObject(QPainter *painter, const QRectF &rect, QTextInlineObject object,
                          int posInDocument, const QTextFormat &format) override;

private:
    friend class TableLayout;   // breaks the lines of the cells it places, keeps tables in cells

    struct StackState
    {
        int y = 0;                   // flow y where the next item goes
        int lastPage = -1;           // last page that has a recorded start
        int section = 0;             // of the item being placed
    };

    struct SectionEntry
    {
        QTextBlock start;            // invalid for the first section
        SectionSetup setup;
    };
    // Finds the sections anew; the first one's set-up is m_page's.
    void collectSections();
    // Whether the sections found no longer match the document after an
    // edit of the blocks from `first` to `last`.
    bool sectionsChanged(const QTextBlock &first, const QTextBlock &last) const;
    // An item that begins a section moves to where the section starts,
    // and the pages from there on take its page set-up. A section that
    // continues on a page with other columns splits the page; when the
    // columns above are to be balanced, the item to stack again from is
    // returned.
    FlowItem enterSection(const FlowItem &item, StackState &state, bool mayRestart);
    FlowItem continueSection(const FlowItem &item, StackState &state, const SectionSetup &setup, bool mayRestart);

    void relayoutAll();
    void relayoutRange(int from, int charsRemoved, int charsAdded);
    void noteOwnFormatChange(const QTextBlock &block);
    void reportOwnFormatChanges();
    void scheduleBackground(int delayMs);
    void runSlice();
    // Stacks items from the resume point until settled, done or past limit.
    void stack(int untilPosition, int untilPage, qint64 budgetMs);

    FlowItem nextItem(const FlowItem &item) const;
    FlowItem previousItem(const FlowItem &item) const;
    int exitY(const FlowItem &item) const;
    int entryY(const FlowItem &item) const;
    bool needsBreaking(const FlowItem &item) const;
    int lastLinePage(const FlowItem &item) const;

    void breakBlock(const QTextBlock &block, int width);
    static bool lineGapCounts(const QTextBlock &block, const QTextLine &line);
    void placeParagraph(const QTextBlock &block, StackState &state);
    void placeTable(QTextTable *table, StackState &state);
    // Where a keep-with-next paragraph starts that would start at y.
    int keptWithNext(const QTextBlock &block, int y);
    // The flow y of each line of a paragraph whose first line would go to
    // y: lines that cross a page end (or the page's footnotes) move on, with
    // widow and orphan control. `lineNotes`: the footnotes' height each line
    // brings to its page (empty: none).
    std::vector<int> lineTops(const QTextBlock &block, int y, const std::vector<int> &lineNotes) const;
    // Endnotes after the last line at flow y; the pages they need are added.
    void placeEndnotes(int y);
    // The room the first `lines` lines of a paragraph take.
    int linesHeight(const QTextBlock &block, int lines) const;
    // Whether the paragraph's lines, the first at `top`, go around objects.
    bool shapedByObjects(const QTextBlock &block, int top) const;
    // The top of the row of columns on the page whose text the section
    // entered (`section`) follows, `current` being the column it ended in.
    int rowOfSectionBefore(const PageFrame &frame, int current, int section) const;
    // Where a paragraph broken ahead of its turn says it is not placed yet,
    // so that it is never taken for one that kept its place.
    static constexpr int NotPlacedY = INT_MIN / 2;
    // Balanced columns grow by this much (twips) until their text fits.
    static constexpr int BalanceStep = 120;
    static constexpr int MaximumBalanceRestarts = 60;
    // The columns last balanced: those of section `section` above the
    // section after it, on `page`, from `regionTop` (twips below the body's
    // top).
    struct Balance
    {
        int section = -1;
        int page = -1;
        int regionTop = 0;
    };
    Balance m_balance;
    void recordPage(int page, const QTextBlock &block, int line, StackState &state);
    // The flow y where the next page after the one holding y starts.
    int nextPageTop(int flowY) const { return pageTop(pageOfY(flowY) + 1); }
    // Columns, through the document; a page without columns is one.
    int columnOfY(qreal flowY) const { return m_pages.columnOfY(flowY); }
    int columnTop(int column) const { return m_pages.columnTop(column); }
    int columnBottom(int column) const { return m_pages.columnBottom(column); }
    // The end of `column` for the body before `position`: the column's end
    // less the room of its page's footnotes whose marks come before.
    int bodyBottom(int column, int position) const;

    int imageWidthLimit() const;

    PageSetup m_page;
    std::vector<SectionEntry> m_sections;
    int m_stackWidth = 0;                         // lines being stacked are broken to this width
    PageTable m_pages;
    PageTable::Bands m_bands;
    FloatingObjects m_floating{document(), m_pages};
    EastAsianLineHeight m_eastAsianLineHeight{document()};
    PageNotes m_notes{document(), m_pages};
    // Text was removed or reformatted since the notes were last pruned: a
    // note's mark may be gone (insertions alone never take one away).
    bool m_notesToPrune = true;
    int m_bodyPageCount = 0;                      // pages before any holding only endnotes
    QHash<QTextTable *, TableGeometry> m_tables;
    int m_resumePosition = 0;                     // -1 when all is stacked
    int m_mustReach = 0;                          // stack at least this far
    // Nothing settles above this flow y: the end of the furthest page whose
    // objects or footnotes changed. Kept while stacking is paused, since the
    // items that stood beside the change may not be reached yet.
    int m_settleFrom = INT_MIN;
    int m_changedFrom = 0;                        // earliest page changed since last signal
    QTimer m_background;
    bool m_inSlice = false; // runSlice() is stacking
    bool m_inStack = false;
    bool m_suspended = false;
    bool m_showHiddenText = false;
    // An edit stacks this long at once; pages that are shown are stacked on
    // demand when painted, the rest in background slices.
    qint64 m_foregroundBudgetMs = 3;
    int m_brokenBlocks = 0;
    // Blocks whose format ranges this layout set and the document has not
    // reported yet (-1: none).
    int m_ownChangeStart = -1;
    int m_ownChangeEnd = -1;
    bool m_absorbingOwnChanges = false;
    int m_qtChangeDepth = 0;                      // inside documentChanged()
};

} // namespace tamapiko::engine
