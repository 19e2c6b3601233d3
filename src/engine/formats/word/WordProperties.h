#pragma once

// The Word-like properties that RTF and Word binary files share: character,
// paragraph, table row and cell, and section properties, resolved (fonts by
// name, colours as colours, lengths in twips). Readers fill these from their
// own encoding and hand them to the DocumentBuilder; writers get them back
// from the DocumentWalker and encode them again. Neither side touches Qt's
// formats directly, so RTF and Word cannot drift apart in what they keep.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/Sections.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QTextOption>

namespace tamapiko::engine::word {

// Underline kinds both formats know. The numbers are kept in documents
// (CharUnderlineKind), so never renumber them.
enum class UnderlineKind : quint8 {
    None, Single, Dotted, Dash, DashDot, DashDotDot, Double, Thick, Words, Wave, DoubleWave,
    HeavyWave, LongDash,
};

enum class Alignment : quint8 { Left, Right, Center, Justify };

// Where a cell's text sits when the row is taller than the text.
enum class VerticalAlignment : quint8 { Top, Center, Bottom };

// Sides of a paragraph border; table cells use the first four.
enum BorderSide { Top, Bottom, Left, Right, Bar, BorderSideCount };

struct Border
{
    bool present = false;
    bool isDouble = false;
    int width = 0; // twips
    int space = 0; // twips, between the line and the text
    QColor color;  // invalid: automatic
    bool operator==(const Border &) const = default;
};

struct CharacterProperties
{
    QString font; // family; empty for the document's default
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool doubleStrike = false;
    bool hidden = false;
    bool deleted = false; // a tracked deletion, shown struck through in the revision colour
    bool caps = false;
    bool smallCaps = false;
    UnderlineKind underline = UnderlineKind::None;
    QColor foreColor; // invalid: automatic
    QColor backColor; // invalid: none
    quint8 vertical = 0; // 0 baseline, 1 superscript, 2 subscript
    int offset = 0;      // half-points raised (+) or lowered (-)
    QString link;        // hyperlink target; "#name" for a place in the document
    FieldKind field = FieldKind::None; // the run stands for a page number or count
    QString note;        // the run is a footnote's or endnote's reference mark: the note's text
    bool endnote = false; // that note is an endnote
    bool operator==(const CharacterProperties &) const = default;
};

// What fills the space a tab jumps over. The numbers are kept in
// documents (ParagraphTabLeaders), so never renumber them.
enum class TabLeader : quint8 { None, Dots, Hyphens, Underline, Heavy, MiddleDots };

struct TabStop
{
    int position = 0; // twips from the left indent's origin
    QTextOption::TabType type = QTextOption::LeftTab;
    TabLeader leader = TabLeader::None;
    bool operator==(const TabStop &) const = default;
};

// Number formats of list levels both formats know.
enum class NumberFormat : quint8 { Decimal, UpperRoman, LowerRoman, UpperLetter, LowerLetter, Bullet, None };

// One level of a list: how its items are numbered.
struct ListLevelFormat
{
    NumberFormat format = NumberFormat::Decimal;
    int start = 1;
    QString prefix;               // text before the number
    QString suffix = QStringLiteral(".");
    QString bullet;               // what a bullet shows
    quint8 follow = 0;            // after the number: 0 a tab, 1 a space, 2 nothing
    bool operator==(const ListLevelFormat &) const = default;
};

// A paragraph's place in a list.
struct ListMembership
{
    int list = 0;                 // the file's list number; 0: the paragraph is in no list
    int level = 0;                // from 0
    ListLevelFormat format;           // that level's numbering
    QString itemText;             // what the item shows now ("3.", "•"), for readers without lists
    bool operator==(const ListMembership &) const = default;
};

struct ParagraphProperties
{
    Alignment alignment = Alignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0;       // 0 single; > 0 at least (or 240ths when multiple); < 0 exactly
    bool lineMultiple = false;
    QList<TabStop> tabs;
    bool keepNext = false;
    bool keepTogether = false;
    bool widowControl = true; // no first or last line alone on a page
    bool pageBreakBefore = false;
    bool columnBreakBefore = false;
    Border borders[BorderSideCount];
    int frameStyle = -1; // the engine's exact frame bits when a file of ours carried them
    ListMembership list;
    // In a table: 1 in a table of the body, 2 in a table inside one of its
    // cells, and so on (RTF \itap, Word's sprmPItap); 0 outside or unsaid.
    int tableDepth = 0;
    bool operator==(const ParagraphProperties &) const = default;
};

struct CellProperties
{
    int right = 0; // twips from the left margin to the cell's right edge
    Border borders[4]; // Top, Bottom, Left, Right
    QColor shading;    // invalid: none
    VerticalAlignment vertical = VerticalAlignment::Top;
    bool mergeFirst = false;
    bool merge = false;
    bool verticalMergeFirst = false;
    bool verticalMerge = false;
    bool operator==(const CellProperties &) const = default;
};

struct RowProperties
{
    QList<CellProperties> cells;
    int gap = 0;    // half the space between cells, twips: the cells' left and right padding
    int left = 0;   // the row's left edge, twips from the margin
    int height = 0; // the row's least height, twips (negative: its exact height); 0 as tall as its text
    Alignment alignment = Alignment::Left; // of the row between the margins
    bool header = false;       // repeated at the top of each page (only leading rows can be)
    bool keepTogether = false; // never split across pages
    int depth = 1;       // 2 for a row of a table inside a cell, and so on
    // The cells' padding, twips; -1: none given (left and right: the gap).
    int paddingTop = -1;
    int paddingBottom = -1;
    int paddingLeft = -1;
    int paddingRight = -1;
    bool operator==(const RowProperties &) const = default;
};

// A picture or object at a fixed place on the page: a shape of its own in
// both formats, anchored to the paragraph it is read in. The rectangle is
// measured from the origins, in twips.
struct ShapeProperties
{
    int left = 0;
    int top = 0;
    int right = 1440;
    int bottom = 1440;
    AnchorOrigin horizontalFrom = AnchorOrigin::Page;
    AnchorOrigin verticalFrom = AnchorOrigin::Page;
    AnchorWrap wrap = AnchorWrap::Square;
    bool operator==(const ShapeProperties &) const = default;
};

// A section: how it starts, its paper and margins (the page as laid out:
// wider than high when landscape) and its columns. A reader hands each
// section's properties to the DocumentBuilder before the section ends
// (setSectionProperties, then sectionBreak); the DocumentWalker gives them
// back (firstSection, DocumentVisitor::beginSection).
struct SectionProperties
{
    SectionStart start = SectionStart::NewPage;
    PageSetup page;
    bool landscape = false;
    ColumnSetup columns;
    SectionSetup setup() const { return {start, page, columns}; }
    bool operator==(const SectionProperties &) const = default;
};

// How a document's headers and footers are chosen for a page (the stories
// themselves are built with a DocumentBuilder of their own each):
// HeaderFooterPages::Even shows on even pages when facingPages is set. Which
// sections give their first page a story of its own the readers keep per
// section. The distances from the paper's edge are
// PageSetup::headerDistance and footerDistance.
struct HeaderFooterProperties
{
    bool facingPages = false;
    bool operator==(const HeaderFooterProperties &) const = default;
};

} // namespace tamapiko::engine::word
