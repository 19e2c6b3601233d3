#include "engine/editing/CharacterFormats.h"

#include <QColor>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace tamapiko::engine {

int colorToRgb(const QColor &color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

QColor rgbToColor(int rgb)
{
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

int foregroundRgb(const QTextCharFormat &format)
{
    const QBrush brush = format.foreground();
    return brush.style() == Qt::NoBrush ? 0 : colorToRgb(brush.color());
}

int backgroundRgb(const QTextCharFormat &format)
{
    const QBrush brush = format.background();
    return brush.style() == Qt::NoBrush ? 0xFFFFFF : colorToRgb(brush.color());
}

namespace {

// Folds the formats of a selection into single values, turning a value
// "mixed" as soon as two runs disagree.
class Folder
{
public:
    explicit Folder(const QFont &defaultFont) : m_default(defaultFont) {}

    void add(const QTextCharFormat &format)
    {
        const QFont font = format.font().resolve(m_default);
        const QString name = font.families().value(0, font.family());
        const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : m_default.pointSizeF();
        const int bold = font.weight() >= QFont::DemiBold ? 1 : 0;
        const int italic = font.italic() ? 1 : 0;
        const int underline = (font.underline() || format.underlineStyle() != QTextCharFormat::NoUnderline) ? 1 : 0;
        const int fore = foregroundRgb(format);
        const int back = backgroundRgb(format);
        if (m_first) {
            m_result = {name, size, bold, italic, underline, fore, back};
            m_first = false;
            return;
        }
        if (m_result.fontName != name)
            m_result.fontName.clear();
        if (m_result.fontSize != size)
            m_result.fontSize = 0;
        if (m_result.bold != bold)
            m_result.bold = 2;
        if (m_result.italic != italic)
            m_result.italic = 2;
        if (m_result.underline != underline)
            m_result.underline = 2;
        if (m_result.foreColor != fore)
            m_result.foreColor = -1;
        if (m_result.backColor != back)
            m_result.backColor = -1;
    }

    bool empty() const { return m_first; }
    const SelectionCharFormat &result() const { return m_result; }

private:
    QFont m_default;
    SelectionCharFormat m_result;
    bool m_first = true;
};

} // namespace

SelectionCharFormat readCharFormat(const QTextCursor &cursor, const QFont &defaultFont)
{
    Folder folder(defaultFont);
    if (cursor.hasSelection()) {
        const int start = cursor.selectionStart();
        const int end = cursor.selectionEnd();
        const QTextDocument *document = cursor.document();
        for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < end;
             block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.position() + fragment.length() <= start)
                    continue;
                if (fragment.position() >= end)
                    break;
                folder.add(fragment.charFormat());
            }
        }
    }
    if (folder.empty())
        folder.add(cursor.charFormat());
    return folder.result();
}

} // namespace tamapiko::engine
