#pragma once

// Custom QTextFormat properties: the engine's vocabulary for what Qt's
// formats have no property of their own. Filters (RTF, Word, HTML, native)
// read and write these, so keep the numbers stable: the native file format
// stores them. Each area owns a range; add new ones at the end of its range.
//
// Units inside the model: every length kept in a QTextFormat (block margins
// and text indent, tab positions, spacing above and below, fixed line
// heights, table column widths, cell padding, image width and height, border
// widths) is in points (1 pt = 20 twips), whatever Qt's own documentation
// calls the unit. Font sizes are points as usual. The page set-up in
// DocumentModel is in twips. Filters convert at the file boundary.

#include <QTextFormat>

namespace tamapiko::engine {

enum EngineProperty : int {
    // Paragraph frame (borders drawn around a paragraph): 0x100000..
    ParagraphFrameStyle = QTextFormat::UserProperty + 0x100000,  // int, FrameStyle bits
    ParagraphFrameLineWidth,                                     // int, twips
    ParagraphFrameDistance,                                      // int, twips

    // Pictures and objects: 0x100100..
    ImageOriginalData = QTextFormat::UserProperty + 0x100100,    // QByteArray, bytes as read
    ImageOriginalFormat,                                         // QString: "png", "jpeg", "wmf", "emf", "dib"...
    ImageLinkedPath,                                             // QString, when linked rather than embedded
    ImageRemoteUrl,                                              // QString, a picture on the network shown as a placeholder
    ObjectData,                                                  // QByteArray: an embedded object's file, shown as its icon
    ObjectFileName,                                              // QString: that file's name, without folders
    ObjectMimeType,                                              // QString: its MIME type

    // Paragraph layout extras: 0x100200..
    ParagraphKeepWithNext = QTextFormat::UserProperty + 0x100200, // bool
    ParagraphPageBreakBefore,                                     // bool (Qt's PageBreakPolicy also set)
    ParagraphTabLeaders,          // QVariantList of int (word::TabLeader), one per tab position; absent when none has one
    ParagraphBeforeLeadingTable,  // bool: the empty paragraph a document needs before a table that opens it
                                  // (see TablePlaceholder.h): no room on the page, never written
    ParagraphKeepTogether,        // bool: all lines of the paragraph on one page
    ParagraphWidowControlOff,     // bool: a first or last line may stand alone on a page (absent: it may not)
    ParagraphColumnBreakBefore,   // bool: the paragraph starts the next column (a page in a section of one)
    ParagraphSectionStart,        // QVariantList of int: the paragraph starts a section with that set-up (Sections.h)

    // Character and preserved-data extras: 0x100300..
    PreservedFilterData = QTextFormat::UserProperty + 0x100300, // QByteArray a filter keeps to write back
    CharUnderlineKind,       // int, word::UnderlineKind, where Qt's underline style is coarser
    CharBaselineOffset,      // int, half-points raised (+) or lowered (-)
    CharDoubleStrike,        // bool, struck through twice (Qt draws it as a single strike)
    CharHidden,              // bool, hidden text: kept, and written back as hidden
    CharField,               // int, FieldKind: the run shows a field's value (page number, count)
    CharDeletedRevision,     // bool, a tracked deletion: shown struck through, written back as one
    CharNote,                // QString, the run is a note's reference mark: the note's text (paragraphs split by U+2029)
    CharEndnote,             // bool, that note is an endnote, not a footnote

    // Tables: 0x100400..
    TableRowMinimumHeight = QTextFormat::UserProperty + 0x100400, // int, twips, on every cell of the row
    // A row's own geometry, on every cell of the row: the rows of a table
    // read from a file may each have their own left edge, width and number
    // of cells. They are kept per row rather than merged into one grid of
    // all the table's column edges with spans: such a grid multiplies the
    // columns the user sees and edits, costs a structure change per merged
    // cell in long tables, and loses which edges the file gave.
    TableRowEdges,           // QVariantList of int, twips from the left margin: the row's left edge, then each
                             // cell's right edge (the file's own; fewer cells than the table: the rest have none)
    TableRowExactHeight,     // bool, TableRowMinimumHeight is the row's exact height
    TableRowAlignment,       // int, Qt::AlignmentFlag: the row placed between the margins (edges moved as a whole)
    TableRowKeepTogether,    // bool: the row is never split across pages
    // A table's header rows (repeated at the top of each page it runs onto)
    // are its first QTextTableFormat::headerRowCount() rows.

    // Lists, on QTextListFormat: 0x100580..
    ListStartAt = QTextFormat::UserProperty + 0x100580,  // int, the first item's number (1 when absent)
    ListGroup,               // int, the list a level belongs to (a file's list number); 0: on its own
    ListBulletText,          // QString, what a bullet level shows; empty: no number at all
    ListFollow,              // int, after the number: 0 a tab, 1 a space, 2 nothing

    // The document as a whole, on the root frame's format: 0x100500..
    DocumentDefaultTabStop = QTextFormat::UserProperty + 0x100500, // int, twips between default tab stops
    DocumentLinePitch,       // int, twips: the line grid's pitch (each body line takes whole grid rows); absent: none
    DocumentFirstColumns,    // QVariantList of int: the first section's columns (Sections.h); absent: one
    DocumentPlainLinesBeforeBreaks, // bool: justified lines ending in a manual line break keep their natural
                             // width (a Word file's choice); absent: they are stretched to the margin

    // Pictures and objects at a fixed place on the page, on the image format
    // of the character that anchors them to its paragraph: 0x100600..
    // Their size is the image format's width and height.
    AnchoredObject = QTextFormat::UserProperty + 0x100600, // bool
    AnchoredLeft,            // int, twips from the horizontal origin
    AnchoredTop,             // int, twips from the vertical origin
    AnchoredHorizontalFrom,  // int, AnchorOrigin (Paragraph counts as Margin)
    AnchoredVerticalFrom,    // int, AnchorOrigin
    AnchoredWrap,            // int, AnchorWrap
};

// What an anchored object's position is measured from. Kept in documents.
enum class AnchorOrigin : quint8 { Page, Margin, Paragraph };

// How text goes around an anchored object. Kept in documents.
enum class AnchorWrap : quint8 {
    Square,        // lines beside it get shorter, on its wider side
    TopAndBottom,  // no text beside it: lines move below it
    None,          // text runs on under it
};

} // namespace tamapiko::engine
