#include "engine/formats/RtfWriter.h"

#include "engine/EngineProperties.h"
#include "engine/formats/RtfCodePage.h"
#include "engine/formats/RtfControlWords.h"
#include "engine/formats/RtfPicture.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

#include <cmath>

namespace tamapiko::engine::rtf {

namespace {

constexpr int kShiftJisCharset = 128;
constexpr int kWrapColumn = 200; // lines stay well below 255 characters

int twips(qreal points) { return int(std::lround(points * 20.0)); }

// The RTF text being written: control words, groups and text, with line
// breaks inserted where readers ignore them.
class RtfOutput
{
public:
    RtfOutput() : m_shiftJis("windows-31j") { m_out.reserve(1 << 16); m_ucStack.append(1); }

    void open()
    {
        beforeToken();
        m_out.append('{');
        ++m_column;
        m_ucStack.append(m_ucStack.last());
    }

    void close()
    {
        beforeToken();
        m_out.append('}');
        ++m_column;
        if (m_ucStack.size() > 1)
            m_ucStack.removeLast();
    }

    void word(Action action, int value = 0) { word(controlWordName(action, value)); }
    void word(Action action, int value, int parameter) { word(controlWordName(action, value), parameter); }

    void word(const char *name)
    {
        beforeToken();
        m_out.append('\\').append(name);
        m_column += 1 + qsizetype(strlen(name));
        m_needDelimiter = true;
    }

    void word(const char *name, int parameter)
    {
        word(name);
        const QByteArray number = QByteArray::number(parameter);
        m_out.append(number);
        m_column += number.size();
    }

    // Starts a destination whose group readers may skip: {\*\name
    void ignorableDestination(const char *name)
    {
        open();
        m_out.append("\\*");
        m_column += 2;
        word(name);
    }

    void ignorableDestination(const char *name, int parameter)
    {
        ignorableDestination(name);
        const QByteArray number = QByteArray::number(parameter);
        m_out.append(number);
        m_column += number.size();
    }

    void text(QStringView text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const char16_t u = c.unicode();
            if (u >= 0x20 && u < 0x7F) {
                if (u == '\\' || u == '{' || u == '}') {
                    beforeToken();
                    m_out.append('\\').append(char(u));
                    m_column += 2;
                } else {
                    beforeText();
                    m_out.append(char(u));
                    ++m_column;
                }
                continue;
            }
            if (const ControlWord *symbol = symbolWordFor(u)) {
                if (symbol->name[1] == 0) { // a control symbol such as \~
                    beforeToken();
                    m_out.append('\\').append(symbol->name[0]);
                    m_column += 2;
                } else {
                    word(symbol->name);
                }
                continue;
            }
            if (u < 0x20)
                continue; // other control characters have no place in RTF text
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                unicode(text.sliced(i, 2));
                ++i;
                continue;
            }
            unicode(text.sliced(i, 1));
        }
    }

    // A line of raw ASCII (hex picture data), on a line of its own.
    void rawLine(QByteArrayView bytes)
    {
        newLine();
        m_out.append(bytes.data(), bytes.size());
        m_column += bytes.size();
        m_needDelimiter = false;
    }

    void newLine()
    {
        if (m_column == 0)
            return;
        m_out.append("\r\n");
        m_column = 0;
    }

    QByteArray take() { return std::move(m_out); }

private:
    // \uN for each UTF-16 unit, with the Shift-JIS bytes (or "?") as the
    // fallback for readers without Unicode; \uc says how long it is.
    void unicode(QStringView character)
    {
        QByteArray fallback = m_shiftJis.encode(character);
        if (m_shiftJis.hasError() || fallback.isEmpty() || fallback.contains('?')) {
            m_shiftJis.resetState();
            fallback = QByteArray(character.size() == 2 ? 2 : 1, '?');
        }
        for (qsizetype unit = 0; unit < character.size(); ++unit) {
            // A surrogate pair carries its whole fallback after the second unit.
            const QByteArray bytes = unit + 1 == character.size() ? fallback : QByteArray();
            const int skip = int(bytes.size());
            if (m_ucStack.last() != skip) {
                word(controlWordName(Action::UnicodeSkip), skip);
                m_ucStack.last() = skip;
            }
            word(controlWordName(Action::Unicode), qint16(character.at(unit).unicode()));
            for (const char b : bytes) {
                if (uchar(b) >= 0x80 || b == '\\' || b == '{' || b == '}') {
                    beforeToken();
                    static const char hex[] = "0123456789abcdef";
                    m_out.append("\\'").append(hex[uchar(b) >> 4]).append(hex[uchar(b) & 15]);
                    m_column += 4;
                } else {
                    beforeText();
                    m_out.append(b);
                    ++m_column;
                }
            }
        }
    }

    void beforeToken()
    {
        if (m_column >= kWrapColumn)
            newLine();
        m_needDelimiter = false;
    }

    void beforeText()
    {
        if (m_needDelimiter) {
            m_out.append(' ');
            ++m_column;
            m_needDelimiter = false;
        } else if (m_column >= kWrapColumn + 40) {
            newLine(); // line ends inside text are ignored by readers
        }
    }

    QByteArray m_out;
    qsizetype m_column = 0;
    bool m_needDelimiter = false;
    QList<int> m_ucStack;
    QStringEncoder m_shiftJis;
};

struct FontInfo
{
    QString name;
    int charset = 0;
};

bool needsShiftJis(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

} // namespace

class RtfWriter::Private
{
public:
    Private(const QTextDocument &doc, const PageSetup &p) : document(doc), page(p) {}

    QByteArray write();

    const QTextDocument &document;
    PageSetup page;

private:
    void collect(const QTextCharFormat &format, QStringView text);
    void collectFrame(QTextFrame *frame);
    void collectColor(const QBrush &brush);
    int fontIndex(const QTextCharFormat &format) const;
    int colorIndex(const QColor &color) const;

    void writeHeader();
    void writeFrame(QTextFrame *frame, bool inTable);
    void writeCellContents(const QTextTableCell &cell);
    void writeNestedFlat(QTextFrame *frame, bool inTable);
    void writeTable(QTextTable *table);
    void writeBlock(const QTextBlock &block, bool inTable, const char *terminator);
    void writeParagraphFormat(const QTextBlockFormat &format, bool inTable);
    void writeCharFormat(const QTextCharFormat &format);
    void writeImage(const QTextImageFormat &format);
    void writeBorder(qreal width, QTextFrameFormat::BorderStyle style, const QBrush &brush);

    RtfOutput out;
    QList<FontInfo> fonts;
    QList<QColor> colors; // index 0 is "auto"
    QString defaultFamily;
    qreal defaultSize = 10.5;
};

RtfWriter::RtfWriter(const QTextDocument &document, const PageSetup &page)
    : d(std::make_unique<Private>(document, page))
{
}

RtfWriter::~RtfWriter() = default;

QByteArray RtfWriter::write() { return d->write(); }

// ---------------------------------------------------------------- tables of the header

static QString familyOf(const QTextCharFormat &format)
{
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return families.first();
    return {};
}

void RtfWriter::Private::collect(const QTextCharFormat &format, QStringView text)
{
    QString family = familyOf(format);
    if (family.isEmpty())
        family = defaultFamily;
    auto it = std::find_if(fonts.begin(), fonts.end(), [&](const FontInfo &f) { return f.name == family; });
    if (it == fonts.end()) {
        fonts.append(FontInfo{family, needsShiftJis(family) ? kShiftJisCharset : 0});
        it = fonts.end() - 1;
    }
    if (it->charset == 0 && needsShiftJis(text))
        it->charset = kShiftJisCharset;
    collectColor(format.foreground());
    collectColor(format.background());
}

void RtfWriter::Private::collectColor(const QBrush &brush)
{
    if (brush.style() == Qt::NoBrush)
        return;
    const QColor c = brush.color().toRgb();
    if (colorIndex(c) < 0)
        colors.append(c);
}

void RtfWriter::Private::collectFrame(QTextFrame *frame)
{
    if (QTextTable *table = qobject_cast<QTextTable *>(frame)) {
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCellFormat format = table->cellAt(row, column).format().toTableCellFormat();
                collectColor(format.background());
                collectColor(format.topBorderBrush());
                collectColor(format.bottomBorderBrush());
                collectColor(format.leftBorderBrush());
                collectColor(format.rightBorderBrush());
            }
        }
    }
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame()) {
            collectFrame(child);
            continue;
        }
        const QTextBlock block = it.currentBlock();
        collect(block.charFormat(), {});
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextFragment f = fragment.fragment();
            collect(f.charFormat(), f.text());
        }
    }
}

int RtfWriter::Private::fontIndex(const QTextCharFormat &format) const
{
    QString family = familyOf(format);
    if (family.isEmpty())
        family = defaultFamily;
    for (int i = 0; i < fonts.size(); ++i) {
        if (fonts.at(i).name == family)
            return i;
    }
    return 0;
}

int RtfWriter::Private::colorIndex(const QColor &color) const
{
    const QRgb rgb = color.toRgb().rgb();
    for (int i = 1; i < colors.size(); ++i) {
        if (colors.at(i).rgb() == rgb)
            return i;
    }
    return -1;
}

void RtfWriter::Private::writeHeader()
{
    out.open();
    out.word(controlWordName(Action::RtfHeader), 1);
    out.word(Action::Ansi);
    out.word(controlWordName(Action::AnsiCodePage), 932);
    out.word(controlWordName(Action::DefaultFont), 0);
    out.word(controlWordName(Action::UnicodeSkip), 1);

    out.open();
    out.word(Action::FontTable);
    for (int i = 0; i < fonts.size(); ++i) {
        const FontInfo &font = fonts.at(i);
        out.newLine();
        out.open();
        out.word(controlWordName(Action::FontNumber), i);
        out.word(Action::FontFamily);
        out.word(controlWordName(Action::FontCharset), font.charset);
        // Font names are read in the font's own code page; \u keeps the
        // exact name for Unicode readers whatever that code page holds.
        out.text(font.name);
        out.text(u";");
        out.close();
    }
    out.close();

    out.newLine();
    out.open();
    out.word(Action::ColorTable);
    out.text(u";");
    for (int i = 1; i < colors.size(); ++i) {
        const QColor &c = colors.at(i);
        out.word(controlWordName(Action::Red), c.red());
        out.word(controlWordName(Action::Green), c.green());
        out.word(controlWordName(Action::Blue), c.blue());
        out.text(u";");
    }
    out.close();

    out.newLine();
    out.ignorableDestination("generator");
    out.text(u"tamapiko;");
    out.close();

    out.newLine();
    out.word(controlWordName(Action::PaperWidth), page.width);
    out.word(controlWordName(Action::PaperHeight), page.height);
    out.word(controlWordName(Action::MarginLeft), page.marginLeft);
    out.word(controlWordName(Action::MarginRight), page.marginRight);
    out.word(controlWordName(Action::MarginTop), page.marginTop);
    out.word(controlWordName(Action::MarginBottom), page.marginBottom);
    if (page.width > page.height)
        out.word(Action::Landscape);
    out.newLine();
}

// ---------------------------------------------------------------- body

QByteArray RtfWriter::Private::write()
{
    const QFont font = document.defaultFont();
    defaultFamily = font.family();
    if (font.pointSizeF() > 0)
        defaultSize = font.pointSizeF();
    fonts.append(FontInfo{defaultFamily, needsShiftJis(defaultFamily) ? kShiftJisCharset : 0});
    colors.append(QColor()); // "auto"
    collectFrame(document.rootFrame());

    writeHeader();
    writeFrame(document.rootFrame(), false);
    out.close();
    out.newLine();
    return out.take();
}

void RtfWriter::Private::writeFrame(QTextFrame *frame, bool inTable)
{
    // Every paragraph ends with \par, the last one too: readers drop the
    // properties of a paragraph that nothing ends.
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame()) {
            // Floating frames have no RTF of ours: their text flows in place.
            QTextTable *table = qobject_cast<QTextTable *>(child);
            if (!table)
                writeFrame(child, inTable);
            else if (!inTable)
                writeTable(table);
            else
                writeNestedFlat(child, inTable);
            continue;
        }
        const QTextBlock block = it.currentBlock();
        writeBlock(block, inTable, controlWordName(Action::Paragraph));
    }
}

// Tables inside tables are written flat, one paragraph per inner cell
// paragraph, so no text is lost in readers without nesting.
void RtfWriter::Private::writeNestedFlat(QTextFrame *frame, bool inTable)
{
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame())
            writeNestedFlat(child, inTable);
        else
            writeBlock(it.currentBlock(), inTable, controlWordName(Action::Paragraph));
    }
}

void RtfWriter::Private::writeCellContents(const QTextTableCell &cell)
{
    QList<QTextBlock> blocks;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (QTextFrame *child = it.currentFrame()) {
            writeNestedFlat(child, true);
            continue;
        }
        blocks.append(it.currentBlock());
    }
    for (int i = 0; i < blocks.size(); ++i) {
        const bool last = i + 1 == blocks.size();
        writeBlock(blocks.at(i), true, controlWordName(last ? Action::Cell : Action::Paragraph));
    }
    if (blocks.isEmpty()) {
        out.word(Action::Pard);
        out.word(Action::InTable);
        out.word(Action::Cell);
    }
}

void RtfWriter::Private::writeBorder(qreal width, QTextFrameFormat::BorderStyle style, const QBrush &brush)
{
    out.word(style == QTextFrameFormat::BorderStyle_Double ? Action::BorderDouble : Action::BorderSingle);
    out.word(controlWordName(Action::BorderWidth), std::max(1, twips(width)));
    if (brush.style() != Qt::NoBrush) {
        if (const int index = colorIndex(brush.color()); index > 0)
            out.word(controlWordName(Action::BorderColor), index);
    }
}

void RtfWriter::Private::writeTable(QTextTable *table)
{
    const QTextTableFormat tableFormat = table->format();
    const int columns = table->columns();
    const QList<QTextLength> constraints = tableFormat.columnWidthConstraints();
    const qreal textWidth = page.textWidth() / 20.0 - tableFormat.leftMargin();
    QList<int> rights;
    int right = twips(tableFormat.leftMargin());
    for (int column = 0; column < columns; ++column) {
        qreal width = textWidth / columns;
        if (column < constraints.size()) {
            const QTextLength &length = constraints.at(column);
            if (length.type() == QTextLength::FixedLength)
                width = length.rawValue();
            else if (length.type() == QTextLength::PercentageLength)
                width = textWidth * length.rawValue() / 100.0;
        }
        right += std::max(20, twips(width));
        rights.append(right);
    }

    for (int row = 0; row < table->rows(); ++row) {
        out.newLine();
        out.word(Action::RowDefaults);
        const QTextTableCellFormat firstFormat = table->cellAt(row, 0).format().toTableCellFormat();
        out.word(controlWordName(Action::RowGap), twips(firstFormat.leftPadding()));
        if (tableFormat.leftMargin() > 0)
            out.word(controlWordName(Action::RowLeft), twips(tableFormat.leftMargin()));
        for (int column = 0; column < columns; ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (cell.row() != row)
                out.word(Action::CellVerticalMerge);
            else if (cell.rowSpan() > 1)
                out.word(Action::CellVerticalMergeFirst);
            if (cell.column() != column)
                out.word(Action::CellMerge);
            else if (cell.columnSpan() > 1)
                out.word(Action::CellMergeFirst);
            const QTextTableCellFormat format = cell.format().toTableCellFormat();
            const struct {
                Action side;
                qreal width;
                QTextFrameFormat::BorderStyle style;
                QBrush brush;
            } sides[] = {
                {Action::CellBorderTop, format.topBorder(), format.topBorderStyle(), format.topBorderBrush()},
                {Action::CellBorderLeft, format.leftBorder(), format.leftBorderStyle(), format.leftBorderBrush()},
                {Action::CellBorderBottom, format.bottomBorder(), format.bottomBorderStyle(), format.bottomBorderBrush()},
                {Action::CellBorderRight, format.rightBorder(), format.rightBorderStyle(), format.rightBorderBrush()},
            };
            for (const auto &side : sides) {
                if (side.width <= 0 || side.style == QTextFrameFormat::BorderStyle_None)
                    continue;
                out.word(side.side);
                writeBorder(side.width, side.style, side.brush);
            }
            if (format.background().style() != Qt::NoBrush) {
                if (const int index = colorIndex(format.background().color()); index > 0)
                    out.word(controlWordName(Action::CellShading), index);
            }
            out.word(controlWordName(Action::CellBoundary), rights.at(column));
        }
        out.newLine();
        for (int column = 0; column < columns; ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (cell.row() == row && cell.column() == column) {
                writeCellContents(cell);
            } else {
                out.word(Action::Pard);
                out.word(Action::InTable);
                out.word(Action::Cell);
            }
        }
        out.word(Action::Row);
    }
    out.newLine();
}

void RtfWriter::Private::writeParagraphFormat(const QTextBlockFormat &format, bool inTable)
{
    out.newLine();
    out.word(Action::Pard);
    if (inTable)
        out.word(Action::InTable);
    const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    if (alignment & Qt::AlignRight)
        out.word(Action::AlignRight);
    else if (alignment & Qt::AlignHCenter)
        out.word(Action::AlignCenter);
    else if (alignment & Qt::AlignJustify)
        out.word(Action::AlignJustify);
    else
        out.word(Action::AlignLeft);
    if (const int v = twips(format.leftMargin()))
        out.word(controlWordName(Action::LeftIndent), v);
    if (const int v = twips(format.rightMargin()))
        out.word(controlWordName(Action::RightIndent), v);
    if (const int v = twips(format.textIndent()))
        out.word(controlWordName(Action::FirstIndent), v);
    if (const int v = twips(format.topMargin()))
        out.word(controlWordName(Action::SpaceBefore), v);
    if (const int v = twips(format.bottomMargin()))
        out.word(controlWordName(Action::SpaceAfter), v);
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        out.word(controlWordName(Action::LineSpacing), int(std::lround(format.lineHeight() * 240.0 / 100.0)));
        out.word(controlWordName(Action::LineMultiple), 1);
        break;
    case QTextBlockFormat::MinimumHeight:
        out.word(controlWordName(Action::LineSpacing), twips(format.lineHeight()));
        out.word(controlWordName(Action::LineMultiple), 0);
        break;
    case QTextBlockFormat::FixedHeight:
        out.word(controlWordName(Action::LineSpacing), -twips(format.lineHeight()));
        out.word(controlWordName(Action::LineMultiple), 0);
        break;
    default:
        break;
    }
    for (const QTextOption::Tab &tab : format.tabPositions()) {
        if (tab.type == QTextOption::RightTab)
            out.word(Action::TabRight);
        else if (tab.type == QTextOption::CenterTab)
            out.word(Action::TabCenter);
        else if (tab.type == QTextOption::DelimiterTab)
            out.word(Action::TabDecimal);
        out.word(controlWordName(Action::TabPosition), twips(tab.position));
    }
    if (format.boolProperty(ParagraphKeepWithNext))
        out.word(Action::KeepNext);
    if (format.boolProperty(ParagraphPageBreakBefore)
        || (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
        out.word(Action::PageBreakBefore);

    if (format.hasProperty(ParagraphFrameStyle)) {
        const int style = format.intProperty(ParagraphFrameStyle);
        const int width = format.intProperty(ParagraphFrameLineWidth);
        const int distance = format.intProperty(ParagraphFrameDistance);
        static constexpr struct {
            int bit;
            Action side;
        } kSides[] = {{0x04, Action::BorderTop}, {0x08, Action::BorderBottom}, {0x01, Action::BorderLeft},
                      {0x02, Action::BorderRight}, {0x10, Action::BorderBar}};
        for (const auto &side : kSides) {
            if (!(style & side.bit))
                continue;
            out.word(side.side);
            out.word((style & 0x40) ? Action::BorderDouble : Action::BorderSingle);
            if (width > 0)
                out.word(controlWordName(Action::BorderWidth), width);
            out.word(controlWordName(Action::BorderSpace), distance);
        }
        // The exact bits (absent sides, connected frames) for our own reader.
        out.ignorableDestination(controlWordName(Action::FrameStyleExtension), style);
        out.close();
    }
}

void RtfWriter::Private::writeCharFormat(const QTextCharFormat &format)
{
    out.word(controlWordName(Action::FontNumber), fontIndex(format));
    const qreal size = format.fontPointSize() > 0 ? format.fontPointSize() : defaultSize;
    out.word(controlWordName(Action::FontSize), int(std::lround(size * 2)));
    if (format.fontWeight() >= QFont::DemiBold)
        out.word(Action::Bold);
    if (format.fontItalic())
        out.word(Action::Italic);
    if (format.fontStrikeOut())
        out.word(format.boolProperty(RtfDoubleStrike) ? Action::DoubleStrike : Action::Strike);

    UnderlineKind underline = UnderlineKind::None;
    switch (format.underlineStyle()) {
    case QTextCharFormat::NoUnderline: break;
    case QTextCharFormat::DotLine: underline = UnderlineKind::Dotted; break;
    case QTextCharFormat::DashUnderline: underline = UnderlineKind::Dash; break;
    case QTextCharFormat::DashDotLine: underline = UnderlineKind::DashDot; break;
    case QTextCharFormat::DashDotDotLine: underline = UnderlineKind::DashDotDot; break;
    case QTextCharFormat::WaveUnderline:
    case QTextCharFormat::SpellCheckUnderline: underline = UnderlineKind::Wave; break;
    default: underline = UnderlineKind::Single; break;
    }
    if (underline == UnderlineKind::None && format.fontUnderline())
        underline = UnderlineKind::Single;
    if (underline != UnderlineKind::None && format.hasProperty(RtfUnderlineKind))
        underline = UnderlineKind(format.intProperty(RtfUnderlineKind));
    if (underline != UnderlineKind::None)
        out.word(Action::Underline, int(underline));

    if (format.foreground().style() != Qt::NoBrush) {
        if (const int index = colorIndex(format.foreground().color()); index > 0)
            out.word(controlWordName(Action::ForeColor), index);
    }
    if (format.background().style() != Qt::NoBrush) {
        if (const int index = colorIndex(format.background().color()); index > 0) {
            out.word(controlWordName(Action::BackColor), index);
            // Readers of the WordPad class know only highlighting.
            out.word(controlWordName(Action::Highlight), index);
        }
    }

    if (format.hasProperty(RtfBaselineOffset)) {
        const int offset = format.intProperty(RtfBaselineOffset);
        if (offset > 0)
            out.word(controlWordName(Action::Up), offset);
        else if (offset < 0)
            out.word(controlWordName(Action::Down), -offset);
    } else if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript) {
        out.word(Action::Superscript);
    } else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript) {
        out.word(Action::Subscript);
    }
}

void RtfWriter::Private::writeImage(const QTextImageFormat &format)
{
    QByteArray bytes = format.property(ImageOriginalData).toByteArray();
    PictureFormat kind = pictureFormatFromName(format.stringProperty(ImageOriginalFormat));
    QSize pixels;
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    QImage image;
    if (resource.userType() == QMetaType::QImage)
        image = resource.value<QImage>();
    else if (resource.userType() == QMetaType::QPixmap)
        image = resource.value<QPixmap>().toImage();
    else if (resource.userType() == QMetaType::QByteArray)
        image = QImage::fromData(resource.toByteArray());
    pixels = image.size();

    const bool keepOriginal = !bytes.isEmpty()
        && (kind == PictureFormat::Png || kind == PictureFormat::Jpeg || kind == PictureFormat::Wmf
            || kind == PictureFormat::Emf || kind == PictureFormat::MacPict);
    if (!keepOriginal) {
        if (image.isNull())
            return; // nothing to write: the picture's data is gone
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        kind = PictureFormat::Png;
    }

    const qreal widthPt = format.width() > 0 ? format.width() : pixels.width() * 0.75;
    const qreal heightPt = format.height() > 0 ? format.height() : pixels.height() * 0.75;
    const bool metafile = kind == PictureFormat::Wmf || kind == PictureFormat::Emf || kind == PictureFormat::MacPict;

    out.open();
    out.word(Action::Picture);
    switch (kind) {
    case PictureFormat::Jpeg: out.word(Action::JpegBlip); break;
    case PictureFormat::Wmf: out.word(controlWordName(Action::WindowsMetafile), 8); break;
    case PictureFormat::Emf: out.word(Action::EnhancedMetafile); break;
    case PictureFormat::MacPict: out.word(Action::MacPicture); break;
    default: out.word(Action::PngBlip); break;
    }
    if (metafile) {
        out.word(controlWordName(Action::PictureWidth), int(std::lround(widthPt * 2540.0 / 72.0)));
        out.word(controlWordName(Action::PictureHeight), int(std::lround(heightPt * 2540.0 / 72.0)));
    } else {
        out.word(controlWordName(Action::PictureWidth), pixels.width() > 0 ? pixels.width() : int(widthPt / 0.75));
        out.word(controlWordName(Action::PictureHeight), pixels.height() > 0 ? pixels.height() : int(heightPt / 0.75));
    }
    out.word(controlWordName(Action::PictureGoalWidth), twips(widthPt));
    out.word(controlWordName(Action::PictureGoalHeight), twips(heightPt));
    const QByteArray hex = bytes.toHex();
    for (qsizetype at = 0; at < hex.size(); at += 128)
        out.rawLine(QByteArrayView(hex).sliced(at, std::min<qsizetype>(128, hex.size() - at)));
    out.close();
}

void RtfWriter::Private::writeBlock(const QTextBlock &block, bool inTable, const char *terminator)
{
    writeParagraphFormat(block.blockFormat(), inTable);

    QString openLink;
    bool linkOpen = false;
    auto closeLink = [&] {
        if (!linkOpen)
            return;
        out.close(); // fldrslt
        out.close(); // field
        linkOpen = false;
    };

    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const QString href = format.isAnchor() ? format.anchorHref() : QString();
        if (linkOpen && href != openLink)
            closeLink();
        if (!href.isEmpty() && !linkOpen) {
            out.open();
            out.word(Action::Field);
            out.ignorableDestination(controlWordName(Action::FieldInstruction));
            QString target = href;
            target.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
            if (target.startsWith(QLatin1Char('#')))
                out.text(QStringLiteral("HYPERLINK \\l \"%1\"").arg(target.mid(1)));
            else
                out.text(QStringLiteral("HYPERLINK \"%1\"").arg(target));
            out.close();
            out.open();
            out.word(Action::FieldResult);
            linkOpen = true;
            openLink = href;
        }

        if (format.isImageFormat()) {
            for (qsizetype i = 0; i < fragment.text().size(); ++i)
                writeImage(format.toImageFormat());
            continue;
        }
        out.open();
        writeCharFormat(format);
        out.text(fragment.text());
        out.close();
    }
    closeLink();
    if (terminator)
        out.word(terminator);
}

} // namespace tamapiko::engine::rtf
