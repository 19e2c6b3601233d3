#pragma once

// The one mapping between the Word-like properties and the model's Qt
// formats, in both directions. What Qt has no property for goes into the
// engine's own properties (EngineProperties.h), so that what a reader puts
// in, a writer gets back unchanged.

#include "engine/formats/word/WordProperties.h"

#include <QTextCharFormat>
#include <QTextFormat>
#include <QTextListFormat>

#include <optional>
#include <unordered_map>

namespace tamapiko::engine::word {

QTextCharFormat charFormat(const CharacterProperties &properties);

// charFormat() made once for each set of properties: a file's thousands
// of runs share a few formats, and making one costs more than its run.
class CharFormatCache
{
public:
    const QTextCharFormat &format(const CharacterProperties &properties);

private:
    struct Hash
    {
        size_t operator()(const CharacterProperties &properties) const;
    };
    std::unordered_map<CharacterProperties, QTextCharFormat, Hash> m_formats;
};
QTextBlockFormat blockFormat(const ParagraphProperties &properties);
// Borders, shading, vertical alignment and padding of one cell; the gap
// and the least height are the row's.
void applyCellProperties(QTextTableCellFormat &format, const CellProperties &cell, const RowProperties &row);
// A row's own edges as its cells carry them (TableRowEdges): the left edge,
// then each cell's right edge, twips from the margin.
QVariantList rowEdges(const RowProperties &row);
// The row's edges, alignment and padding kept on one of its cells, into
// `row` (whose cells exist already).
void readRowGeometry(RowProperties &row, const QTextTableCellFormat &format);

// `defaultFamily` and `defaultSize` stand in where the format leaves the
// font to the document.
CharacterProperties characterProperties(const QTextCharFormat &format, const QString &defaultFamily,
                                        qreal defaultSize);
ParagraphProperties paragraphProperties(const QTextBlockFormat &format);
// A cell's borders, shading and vertical alignment (its right edge and
// merging are the table's). A side without a line of its own takes the
// table's line, `tableBorder` points wide (0: none).
CellProperties cellProperties(const QTextTableCellFormat &format, qreal tableBorder = 0);
// The least height a cell gives its row, twips (negative: the row's exact
// height); 0 when it leaves it to the text.
int rowHeight(const QTextTableCellFormat &format);

// A list level as the model keeps it, and back.
QTextListFormat listFormat(const ListMembership &list);
ListMembership listMembership(const QTextListFormat &format);

// Twips from the model's points, rounded.
int twips(qreal points);

// Makes a picture's format stand at the shape's place; the shape's size is
// the picture's.
void applyShapeProperties(QTextFormat &format, const ShapeProperties &shape);
// The shape of an anchored picture or object; nothing for one in the line.
std::optional<ShapeProperties> shapeProperties(const QTextFormat &format);

} // namespace tamapiko::engine::word
