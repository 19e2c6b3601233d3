#pragma once

// PageTable: the pages of a layout, each with its own geometry.
//
// The layout stacks lines into one "flow" coordinate: page n's body covers
// flow y from flowTop(n) to flowBottom(n). Pages need not be alike: a
// provider says what page set-up page n is laid out on, and the table keeps,
// for every page, its paper size, body, header, footer and note rectangles
// (twips from the sheet's top-left corner) and where it sits in the flow.
// Everything that asks "which page is this y on" or "where does page n
// start" asks this table; nobody multiplies by a page height.
//
// The geometry of a page depends only on the provider, so the table can
// answer for pages that hold no text yet (the stacker looks ahead when it
// moves a line to the next page). Which text a page holds is recorded by the
// stacker as it goes.

#include "engine/DocumentModel.h"
#include "engine/HeaderFooterSet.h"
#include "engine/Sections.h"

#include <QRect>
#include <QSize>
#include <QTextBlock>

#include <climits>
#include <functional>
#include <utility>
#include <vector>

namespace tamapiko::engine {

// A column of a page's body: a band of the flow laid out at a place of its
// own. A page without columns has one, the whole body; the columns of a page
// follow each other in the flow, left to right.
struct ColumnBand
{
    int flowTop = 0;
    int height = 0;
    QRect rect;                  // twips from the body's top-left corner
    int page = 0;
    bool lineBefore = false;     // a line between it and the column on its left
    int flowBottom() const { return flowTop + height; }
};

struct PageFrame
{
    QSize paper;                 // twips
    QRect body;                  // text area, twips from the sheet's top-left
    QRect header;                // band above the body where a header goes
    QRect footer;                // band below the body where a footer goes
    QRect notes;                 // foot of the body kept for notes (empty: none)
    int flowTop = 0;             // flow y of the body's top
    int section = 0;             // the section whose page set-up the page has
    int flowHeight = 0;          // of all its columns together
    int firstColumn = 0;         // index of its first column in the table
    int columnCount = 1;
    int paperTop = 0;            // sum of the paper heights of the pages before

    // First and last line laid out on the page: the block that holds it and
    // its line index there (for a table row, the table's first block and
    // the row).
    QTextBlock firstBlock;
    int firstLine = 0;
    QTextBlock lastBlock;
    int lastLine = 0;

    int flowBottom() const { return flowTop + flowHeight; }
};

// Twips the header and the footer of a page take; 0 for none.
struct PageBandHeights
{
    int header = 0;
    int footer = 0;
};

class PageTable
{
public:
    // The page set-up page n (from 0) is laid out on.
    using Provider = std::function<PageSetup(int page)>;
    // How tall the header and the footer a page shows are, laid out as wide
    // as its body.
    using BandHeights = PageBandHeights;
    using Bands = std::function<BandHeights(const PagePlace &place, int bodyWidth)>;

    // Below these the page set-up leaves no room for text; the layout still
    // needs a usable body rather than a zero or negative one.
    static constexpr int MinimumBodyWidth = 288;
    static constexpr int MinimumBodyHeight = 288;

    PageTable();

    // Every page alike; drops all geometry.
    void setUniform(const PageSetup &page);
    // Pages from `firstPage` on are laid out on `page`: section `section`
    // (from 1; the uniform page set-up is the first section's) begins there.
    // The sections after it are forgotten until they begin again. Returns
    // whether the geometry of any page changed.
    bool beginSection(int section, int firstPage, const PageSetup &page, const ColumnSetup &columns = {});
    // The first section's columns (setUniform() makes one).
    void setFirstColumns(const ColumnSetup &columns);
    // The page set-up page n is laid out on.
    const PageSetup &setupOf(int page) const;
    // While text of section `section` is stacked, the pages of later
    // sections laid out before are not yet known: a page of theirs that
    // is asked for is made anew for the sections up to this one (and the
    // later ones forgotten). INT_MAX: every page as laid out.
    void limitSections(int section) { m_limit = section; }
    // Whether pages of later sections were forgotten since last asked.
    bool takeForgotten() { return std::exchange(m_forgotten, false); }
    // Pages told apart by a provider; drops all geometry.
    void setProvider(Provider provider);
    bool isUniform() const { return !m_provider && !m_bands && m_runs.empty(); }
    // As in Word, a header or footer taller than its margin leaves room for
    // it: the body begins below the header and ends above the footer. Drops
    // all geometry.
    void setBands(Bands bands);

    // The frame a page set-up gives (body, header and footer bands), with
    // the body making way for a header and a footer of these heights.
    static PageFrame frameFor(const PageSetup &page, BandHeights bands = {});

    // Geometry of a page; pages beyond those laid out so far are answered
    // too. The text-related fields are only meaningful below count().
    const PageFrame &page(int index) const;
    // Where a page stands among the sections, for its header and footer.
    PagePlace placeOf(int index) const;
    int flowTop(int index) const { return page(index).flowTop; }
    int flowBottom(int index) const { return page(index).flowBottom(); }
    // The page whose body holds flow y (the first page for y above it).
    int pageOfY(qreal flowY) const;
    bool isPageTop(int flowY) const { return flowY == flowTop(pageOfY(flowY)); }

    // Columns, numbered through the document (a page without columns is
    // one): text that does not fit in a column goes on in the next.
    int columnOfY(qreal flowY) const;
    const ColumnBand &column(int index) const;
    int columnTop(int index) const { return column(index).flowTop; }
    int columnBottom(int index) const { return column(index).flowBottom(); }
    bool isColumnTop(int flowY) const { return flowY == columnTop(columnOfY(flowY)); }
    // A section that continues on page `page` takes its body from `at`
    // (twips below the body's top) down, in `columns`; the columns of the
    // section before, from `regionTop`, end at `at` (any below are gone).
    // The pages after it are made anew. Returns whether the page changed.
    bool splitPage(int page, int regionTop, int at, const ColumnSetup &columns);
    // Whether any page has more than one column.
    bool hasColumns() const { return m_hasColumns; }

    // Pages that hold text, as recorded by the stacker.
    int count() const { return m_count; }
    void setCount(int count);
    // Records a line on a page: the first recorded line since the page was
    // opened becomes its first, every later one its last.
    void openPage(int index, const QTextBlock &block, int line);
    void extendPage(int index, const QTextBlock &block, int line);
    // The foot of a page's body its footnotes take (0: none).
    void setNotesHeight(int index, int height);

private:
    void extendTo(int index) const;
    // Forgets the pages of sections beyond the limit when `index` is one.
    void forgetBeyondLimit(int index) const;
    int runSection(int page) const;
    void extendToY(qreal flowY) const;

    // Where a section other than the first begins to set the pages.
    struct SectionRun
    {
        int section = 0;
        int firstPage = 0;
        PageSetup page;
        ColumnSetup columns;
    };
    const ColumnSetup &columnsOf(int page) const;
    // Drops frames (and their columns) from index on.
    void truncateFrames(size_t count) const;
    // Drops the geometry of pages from `page` on (the text recorded on them
    // is recorded again by the stacker).
    void dropFramesFrom(int page);

    Provider m_provider;
    Bands m_bands;
    PageSetup m_uniform;
    mutable std::vector<SectionRun> m_runs;   // by section, so also by first page
    int m_limit = INT_MAX;
    mutable bool m_forgotten = false;
    mutable std::vector<PageFrame> m_frames;   // geometry known so far
    mutable std::vector<ColumnBand> m_columns; // of the pages in m_frames
    ColumnSetup m_firstColumns;
    bool m_hasColumns = false;
    int m_count = 0;
};

} // namespace tamapiko::engine
