#pragma once

// The one mapping between the Word-like properties and the model's Qt
// formats, in both directions. What Qt has no property for goes into the
// engine's own properties (EngineProperties.h), so that what a reader puts
// in, a writer gets back unchanged.

#include "engine/formats/word/WordProperties.h"

#include <QTextCharFormat>
#include <QTextFormat>

namespace tamapiko::engine::word {

QTextCharFormat charFormat(const CharacterProperties &properties);
QTextBlockFormat blockFormat(const ParagraphProperties &properties);
// Borders, shading and padding of one cell; the gap is the row's.
void applyCellProperties(QTextTableCellFormat &format, const CellProperties &cell, int gap);

// `defaultFamily` and `defaultSize` stand in where the format leaves the
// font to the document.
CharacterProperties characterProperties(const QTextCharFormat &format, const QString &defaultFamily,
                                        qreal defaultSize);
ParagraphProperties paragraphProperties(const QTextBlockFormat &format);
// A cell's borders and shading (its right edge and merging are the table's).
CellProperties cellProperties(const QTextTableCellFormat &format);

// Twips from the model's points, rounded.
int twips(qreal points);

} // namespace tamapiko::engine::word
