#pragma once

// The vocabulary of RTF that tamapiko understands, shared by the reader and
// the writer. The reader looks words up by name to learn what they do; the
// writer asks for the name of an action, so it can only ever write words
// the reader knows how to read back.

#include "engine/formats/word/WordProperties.h"

#include <QByteArrayView>

namespace tamapiko::engine::rtf {

// How a control word behaves (after the RTF 1.9 classification).
enum class WordKind : quint8 {
    Flag,        // takes no parameter; a parameter is ignored
    Toggle,      // on without a parameter or with a non-zero one, off with 0
    Value,       // needs a parameter; a missing one means the default value
    Destination, // starts a destination: the rest of the group is read differently
    Symbol,      // stands for one character
};

enum class Action : quint16 {
    None,

    // Document and character set
    RtfHeader, Ansi, Mac, Pc, Pca, AnsiCodePage, DefaultFont, UnicodeSkip, Unicode,
    PaperWidth, PaperHeight, MarginLeft, MarginRight, MarginTop, MarginBottom, Landscape,
    SectionDefaults, SectionBreak, // value: SectionStart
    SectionPaperWidth, SectionPaperHeight, SectionMarginLeft, SectionMarginRight, SectionMarginTop,
    SectionMarginBottom, SectionLandscape, Columns, ColumnSpacing, ColumnNumber, ColumnWidth, ColumnGap,
    LineBetweenColumns,
    HeaderDistance, FooterDistance, TitlePage, FacingPages, DefaultTab,
    LineGridPitch, LineGridOn, LineGridOff,

    // Destinations
    FontTable, ColorTable, StyleSheet, Skip, Picture, ShapePicture, Field, FieldInstruction,
    FieldResult, Footnote, ListText, Upr, Ud, ObjectResult, FrameStyleExtension, BinaryData,
    HeaderFooter, // value: HeaderFooterKind * 3 + HeaderFooterPages
    ListTable, ListOverrideTable, ListDefinition, ListLevelDefinition, LevelText,
    ListId, ListOverride, LevelNumberFormat, LevelStart, LevelFollow,

    // Font and colour tables
    FontNumber, FontFamily, FontCharset, FontCodePage, Red, Green, Blue,

    // Character formatting
    Plain, FontSize, Bold, Italic, Underline, UnderlineNone, Strike, DoubleStrike, ForeColor,
    Highlight, BackColor, Superscript, Subscript, NoSuperSub, Up, Down, Hidden, CharStyle, Caps, SmallCaps,

    // Paragraph formatting
    Pard, AlignLeft, AlignRight, AlignCenter, AlignJustify, LeftIndent, RightIndent, FirstIndent,
    SpaceBefore, SpaceAfter, LineSpacing, LineMultiple, TabPosition, TabRight, TabCenter,
    TabDecimal, TabLeaderDot, TabLeaderMiddleDot, TabLeaderHyphen, TabLeaderUnderline, TabLeaderHeavy, KeepNext, PageBreakBefore,
    KeepTogether, WidowControl, NoWidowControl, DocumentWidowControl,
    ParagraphStyle, InTable, TableDepth,
    BorderTop, BorderBottom, BorderLeft, BorderRight, BorderBar, BorderBox, BorderBetween,
    BorderSingle, BorderDouble, BorderNone, BorderWidth, BorderSpace, BorderColor,
    OtherBorder, OtherStyle,

    // Breaks and special characters
    Paragraph, Section, Page, ColumnBreak, Character, FootnoteNumber, PageNumber, NoteIsEndnote,
    ListNumber, ListLevelNumber,

    // Tables
    RowDefaults, CellBoundary, RowGap, RowLeft, Cell, Row, NestedCell, NestedRow,
    CellMergeFirst, CellMerge, CellVerticalMergeFirst, CellVerticalMerge,
    CellBorderTop, CellBorderBottom, CellBorderLeft, CellBorderRight, CellShading,
    CellShadingPercent, CellPatternColor, CellVerticalTop, CellVerticalCenter, CellVerticalBottom,
    RowHeight, RowAlignLeft, RowAlignCenter, RowAlignRight, RowHeader,
    RowPaddingLeft, RowPaddingTop, RowPaddingRight, RowPaddingBottom,
    RowPaddingUnitLeft, RowPaddingUnitTop, RowPaddingUnitRight, RowPaddingUnitBottom,
    NestedTableProperties,

    // Pictures
    PngBlip, JpegBlip, DeviceIndependentBitmap, DeviceDependentBitmap, WindowsMetafile,
    EnhancedMetafile, MacPicture, PictureWidth, PictureHeight, PictureGoalWidth,
    PictureGoalHeight, PictureScaleX, PictureScaleY, BitmapBitsPerPixel, BitmapPlanes,
    BitmapWidthBytes,

    // Shapes: pictures and objects at a fixed place
    Shape, ShapeInstance, ShapeProperty, ShapePropertyName, ShapePropertyValue,
    ShapeLeft, ShapeTop, ShapeRight, ShapeBottom,
    ShapeHorizontalFrom, // value: AnchorOrigin
    ShapeVerticalFrom,   // value: AnchorOrigin
    ShapeWrap, ShapeBelowText,

    // Embedded objects
    Object, ObjectClass, ObjectBytes,
};

// Underline kinds, carried in ControlWord::value of the underline words.
using UnderlineKind = word::UnderlineKind;

struct ControlWord
{
    const char *name;
    WordKind kind;
    Action action;
    int value = 0;          // default parameter, or the kind for Underline words
    char16_t character = 0; // for Symbol words
};

// The word called `name` (without the backslash), or nullptr when unknown.
// Control symbols such as "~" are looked up by their single character.
const ControlWord *findControlWord(QByteArrayView name);

// findControlWord() for a reader: a file repeats a few dozen words over and
// over (\u, \f, \fs, \par…), so the last word seen in each of a few
// hundred slots is kept and found without a table lookup.
class ControlWordCache
{
public:
    const ControlWord *find(QByteArrayView name);

private:
    struct Slot
    {
        char name[15] = {};
        quint8 length = 0xFF; // empty
        const ControlWord *word = nullptr;
    };
    Slot m_slots[256];
};

// The name the writer uses for an action (the first word in the table that
// performs it, with `value` matching for actions that carry one).
const char *controlWordName(Action action, int value = 0);

// The symbol word for a character (\tab, \emdash…), or nullptr.
const ControlWord *symbolWordFor(char16_t character);

} // namespace tamapiko::engine::rtf
