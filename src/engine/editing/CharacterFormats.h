#pragma once

// Reading and writing character formats the way the engine's members see
// them: one value for the caret or for a whole selection, with a "mixed"
// answer when the selection holds several.

#include <QFont>
#include <QString>
#include <QTextCharFormat>

class QColor;
class QTextCursor;

namespace tamapiko::engine {

struct SelectionCharFormat
{
    QString fontName;            // "" when mixed
    qreal fontSize = 0;          // points, 0 when mixed
    int bold = 0;                // 1, 0, or 2 when mixed
    int italic = 0;
    int underline = 0;
    int foreColor = 0;           // RGB with red in the low byte, -1 when mixed
    int backColor = 0xFFFFFF;
};

// The format at the caret (what typing would use), or over the selection.
SelectionCharFormat readCharFormat(const QTextCursor &cursor, const QFont &defaultFont);

// Colour conversions at the engine boundary.
int colorToRgb(const QColor &color);
QColor rgbToColor(int rgb);

// The colours a format shows with: its own, or the defaults.
int foregroundRgb(const QTextCharFormat &format);
int backgroundRgb(const QTextCharFormat &format);

} // namespace tamapiko::engine
