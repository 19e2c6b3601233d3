#include "engine/formats/word/WordFormats.h"

#include "engine/layout/FloatingObjects.h"

#include "engine/EngineProperties.h"
#include "engine/Units.h"
#include "engine/formats/ValueLimits.h"

#include <QBrush>
#include <QHashFunctions>

#include <cmath>

namespace tamapiko::engine::word {

namespace {

// The engine's paragraph frame bits per side, in BorderSide order.
constexpr int kFrameSideBits[BorderSideCount] = {0x04, 0x08, 0x01, 0x02, 0x10};
constexpr int kFrameSingle = 0x20;
constexpr int kFrameDouble = 0x40;

QTextCharFormat::UnderlineStyle underlineStyle(UnderlineKind kind)
{
    switch (kind) {
    case UnderlineKind::None: return QTextCharFormat::NoUnderline;
    case UnderlineKind::Dotted: return QTextCharFormat::DotLine;
    case UnderlineKind::Dash: return QTextCharFormat::DashUnderline;
    case UnderlineKind::DashDot: return QTextCharFormat::DashDotLine;
    case UnderlineKind::DashDotDot: return QTextCharFormat::DashDotDotLine;
    case UnderlineKind::Wave:
    case UnderlineKind::DoubleWave:
    case UnderlineKind::HeavyWave: return QTextCharFormat::WaveUnderline;
    case UnderlineKind::Single:
    case UnderlineKind::Double:
    case UnderlineKind::Thick:
    case UnderlineKind::Words:
    case UnderlineKind::LongDash: return QTextCharFormat::SingleUnderline;
    }
    return QTextCharFormat::SingleUnderline;
}

// The kinds Qt's style cannot tell apart keep their exact kind.
bool needsExactKind(UnderlineKind kind)
{
    switch (kind) {
    case UnderlineKind::DoubleWave:
    case UnderlineKind::HeavyWave:
    case UnderlineKind::Double:
    case UnderlineKind::Thick:
    case UnderlineKind::Words:
    case UnderlineKind::LongDash: return true;
    default: return false;
    }
}

} // namespace

int twips(qreal points)
{
    return twipsFromPoints(points);
}

QTextCharFormat charFormat(const CharacterProperties &chr)
{
    QTextCharFormat format;
    if (!chr.font.isEmpty())
        format.setFontFamilies(QStringList{chr.font});
    format.setFontPointSize(chr.halfPoints / 2.0);
    format.setFontWeight(chr.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(chr.italic);
    if (chr.strike || chr.doubleStrike)
        format.setFontStrikeOut(true);
    if (chr.doubleStrike)
        format.setProperty(CharDoubleStrike, true);
    if (chr.underline != UnderlineKind::None)
        format.setUnderlineStyle(underlineStyle(chr.underline));
    if (needsExactKind(chr.underline))
        format.setProperty(CharUnderlineKind, int(chr.underline));
    if (chr.foreColor.isValid())
        format.setForeground(chr.foreColor);
    if (chr.backColor.isValid())
        format.setBackground(chr.backColor);
    if (chr.vertical == 1 || (chr.vertical == 0 && chr.offset > 0))
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (chr.vertical == 2 || (chr.vertical == 0 && chr.offset < 0))
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (chr.offset != 0)
        format.setProperty(CharBaselineOffset, chr.offset);
    if (chr.hidden)
        format.setProperty(CharHidden, true);
    if (chr.field != FieldKind::None)
        format.setProperty(CharField, int(chr.field));
    if (chr.deleted)
        format.setProperty(CharDeletedRevision, true);
    if (!chr.note.isEmpty()) {
        format.setProperty(CharNote, chr.note);
        if (chr.endnote)
            format.setProperty(CharEndnote, true);
    }
    if (chr.caps)
        format.setFontCapitalization(QFont::AllUppercase);
    else if (chr.smallCaps)
        format.setFontCapitalization(QFont::SmallCaps);
    if (!chr.link.isEmpty()) {
        format.setAnchor(true);
        format.setAnchorHref(chr.link);
    }
    return limits::bounded(format).toCharFormat();
}

size_t CharFormatCache::Hash::operator()(const CharacterProperties &c) const
{
    const auto color = [](const QColor &value) { return value.isValid() ? value.rgba() : 0u; };
    const int flags = c.bold | c.italic << 1 | c.strike << 2 | c.doubleStrike << 3 | c.hidden << 4
        | c.deleted << 5 | c.caps << 6 | c.smallCaps << 7 | c.endnote << 8;
    return qHashMulti(0, c.font, c.halfPoints, flags, int(c.underline), color(c.foreColor), color(c.backColor),
                      c.vertical, c.offset, c.link, int(c.field), c.note);
}

const QTextCharFormat &CharFormatCache::format(const CharacterProperties &properties)
{
    auto it = m_formats.find(properties);
    if (it == m_formats.end()) {
        if (m_formats.size() >= 4096)
            m_formats.clear(); // a file of ever new formats gains nothing from keeping them
        it = m_formats.emplace(properties, charFormat(properties)).first;
    }
    return it->second;
}

CharacterProperties characterProperties(const QTextCharFormat &format, const QString &defaultFamily,
                                        qreal defaultSize)
{
    CharacterProperties chr;
    const QStringList families = format.fontFamilies().toStringList();
    chr.font = !families.isEmpty() && !families.first().isEmpty() ? families.first() : defaultFamily;
    const qreal size = format.fontPointSize() > 0 ? format.fontPointSize() : defaultSize;
    chr.halfPoints = int(std::lround(size * 2));
    chr.bold = format.fontWeight() >= QFont::DemiBold;
    chr.italic = format.fontItalic();
    if (format.fontStrikeOut()) {
        chr.doubleStrike = format.boolProperty(CharDoubleStrike);
        chr.strike = !chr.doubleStrike;
    }
    switch (format.underlineStyle()) {
    case QTextCharFormat::NoUnderline: break;
    case QTextCharFormat::DotLine: chr.underline = UnderlineKind::Dotted; break;
    case QTextCharFormat::DashUnderline: chr.underline = UnderlineKind::Dash; break;
    case QTextCharFormat::DashDotLine: chr.underline = UnderlineKind::DashDot; break;
    case QTextCharFormat::DashDotDotLine: chr.underline = UnderlineKind::DashDotDot; break;
    case QTextCharFormat::WaveUnderline:
    case QTextCharFormat::SpellCheckUnderline: chr.underline = UnderlineKind::Wave; break;
    default: chr.underline = UnderlineKind::Single; break;
    }
    if (chr.underline == UnderlineKind::None && format.fontUnderline())
        chr.underline = UnderlineKind::Single;
    if (chr.underline != UnderlineKind::None && format.hasProperty(CharUnderlineKind))
        chr.underline = UnderlineKind(format.intProperty(CharUnderlineKind));
    if (format.foreground().style() != Qt::NoBrush)
        chr.foreColor = format.foreground().color().toRgb();
    if (format.background().style() != Qt::NoBrush)
        chr.backColor = format.background().color().toRgb();
    if (format.hasProperty(CharBaselineOffset))
        chr.offset = format.intProperty(CharBaselineOffset);
    if (chr.offset == 0) {
        if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            chr.vertical = 1;
        else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
            chr.vertical = 2;
    }
    chr.hidden = format.boolProperty(CharHidden);
    if (const int field = format.intProperty(CharField); field == int(FieldKind::PageNumber)
        || field == int(FieldKind::PageCount))
        chr.field = FieldKind(field);
    chr.deleted = format.boolProperty(CharDeletedRevision);
    chr.note = format.stringProperty(CharNote);
    chr.endnote = !chr.note.isEmpty() && format.boolProperty(CharEndnote);
    chr.caps = format.fontCapitalization() == QFont::AllUppercase;
    chr.smallCaps = format.fontCapitalization() == QFont::SmallCaps;
    if (format.isAnchor())
        chr.link = format.anchorHref();
    return chr;
}

QTextBlockFormat blockFormat(const ParagraphProperties &para)
{
    QTextBlockFormat format;
    static constexpr Qt::Alignment kAlignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                                    Qt::AlignJustify};
    format.setAlignment(kAlignments[int(para.alignment) & 3]);
    format.setLeftMargin(pointsFromTwips(para.leftIndent));
    format.setRightMargin(pointsFromTwips(para.rightIndent));
    format.setTextIndent(pointsFromTwips(para.firstIndent));
    format.setTopMargin(pointsFromTwips(para.spaceBefore));
    format.setBottomMargin(pointsFromTwips(para.spaceAfter));
    if (para.lineSpacing != 0) {
        if (para.lineMultiple && para.lineSpacing > 0)
            format.setLineHeight(para.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (para.lineSpacing > 0)
            format.setLineHeight(pointsFromTwips(para.lineSpacing), QTextBlockFormat::MinimumHeight);
        else
            format.setLineHeight(pointsFromTwips(-para.lineSpacing), QTextBlockFormat::FixedHeight);
    }
    if (!para.tabs.isEmpty()) {
        QList<QTextOption::Tab> tabs;
        tabs.reserve(para.tabs.size());
        QVariantList leaders;
        bool anyLeader = false;
        for (const TabStop &tab : para.tabs) {
            const QChar delimiter = tab.type == QTextOption::DelimiterTab ? QLatin1Char('.') : QChar();
            tabs.append(QTextOption::Tab(pointsFromTwips(tab.position), tab.type, delimiter));
            leaders.append(int(tab.leader));
            anyLeader = anyLeader || tab.leader != TabLeader::None;
        }
        format.setTabPositions(tabs);
        if (anyLeader)
            format.setProperty(ParagraphTabLeaders, leaders);
    }
    if (para.keepNext)
        format.setProperty(ParagraphKeepWithNext, true);
    if (para.keepTogether)
        format.setProperty(ParagraphKeepTogether, true);
    if (!para.widowControl)
        format.setProperty(ParagraphWidowControlOff, true);
    if (para.columnBreakBefore)
        format.setProperty(ParagraphColumnBreakBefore, true);
    if (para.pageBreakBefore) {
        format.setProperty(ParagraphPageBreakBefore, true);
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    }

    // Paragraph borders become the paragraph frame: each side present or
    // absent, the line single or double, one width and distance for all.
    int style = para.frameStyle;
    const Border *first = nullptr;
    bool isDouble = false;
    for (const Border &border : para.borders) {
        if (!border.present)
            continue;
        if (!first)
            first = &border;
        isDouble = isDouble || border.isDouble;
    }
    if (style < 0 && first) {
        style = 0;
        for (int side = Top; side < BorderSideCount; ++side)
            style |= para.borders[side].present ? kFrameSideBits[side] : kFrameSideBits[side] * 0x100;
        style |= isDouble ? kFrameDouble : kFrameSingle;
    }
    if (style >= 0) {
        format.setProperty(ParagraphFrameStyle, style);
        if (first) {
            format.setProperty(ParagraphFrameLineWidth, first->width);
            format.setProperty(ParagraphFrameDistance, first->space);
        }
    }
    return limits::bounded(format).toBlockFormat();
}

QTextListFormat listFormat(const ListMembership &list)
{
    static constexpr QTextListFormat::Style kStyles[] = {
        QTextListFormat::ListDecimal, QTextListFormat::ListUpperRoman, QTextListFormat::ListLowerRoman,
        QTextListFormat::ListUpperAlpha, QTextListFormat::ListLowerAlpha, QTextListFormat::ListDisc,
        QTextListFormat::ListDisc};
    const ListLevelFormat &level = list.format;
    QTextListFormat format;
    format.setStyle(kStyles[std::min<int>(int(level.format), 6)]);
    format.setIndent(list.level + 1);
    format.setProperty(ListGroup, list.list);
    if (level.start != 1)
        format.setProperty(ListStartAt, level.start);
    if (level.follow != 0)
        format.setProperty(ListFollow, int(level.follow));
    if (level.format == NumberFormat::Bullet || level.format == NumberFormat::None) {
        format.setProperty(ListBulletText, level.format == NumberFormat::None ? QString() : level.bullet);
    } else {
        format.setNumberPrefix(level.prefix);
        format.setNumberSuffix(level.suffix);
    }
    return format;
}

ListMembership listMembership(const QTextListFormat &format)
{
    ListMembership list;
    list.list = format.intProperty(ListGroup);
    list.level = std::clamp(format.indent() - 1, 0, 8);
    ListLevelFormat &level = list.format;
    switch (format.style()) {
    case QTextListFormat::ListUpperRoman: level.format = NumberFormat::UpperRoman; break;
    case QTextListFormat::ListLowerRoman: level.format = NumberFormat::LowerRoman; break;
    case QTextListFormat::ListUpperAlpha: level.format = NumberFormat::UpperLetter; break;
    case QTextListFormat::ListLowerAlpha: level.format = NumberFormat::LowerLetter; break;
    case QTextListFormat::ListDisc:
    case QTextListFormat::ListCircle:
    case QTextListFormat::ListSquare:
        level.bullet = format.stringProperty(ListBulletText);
        level.format = format.hasProperty(ListBulletText) && level.bullet.isEmpty() ? NumberFormat::None
                                                                                     : NumberFormat::Bullet;
        if (level.format == NumberFormat::Bullet && level.bullet.isEmpty())
            level.bullet = format.style() == QTextListFormat::ListDisc ? QStringLiteral("\u2022")
                : format.style() == QTextListFormat::ListCircle       ? QStringLiteral("\u25E6")
                                                                      : QStringLiteral("\u25AA");
        break;
    default: level.format = NumberFormat::Decimal; break;
    }
    level.start = format.hasProperty(ListStartAt) ? format.intProperty(ListStartAt) : 1;
    level.follow = quint8(std::clamp(format.intProperty(ListFollow), 0, 2));
    level.prefix = format.numberPrefix();
    level.suffix = format.hasProperty(QTextFormat::ListNumberSuffix) ? format.numberSuffix() : QStringLiteral(".");
    return list;
}

ParagraphProperties paragraphProperties(const QTextBlockFormat &format)
{
    ParagraphProperties para;
    const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    if (alignment & Qt::AlignRight)
        para.alignment = Alignment::Right;
    else if (alignment & Qt::AlignHCenter)
        para.alignment = Alignment::Center;
    else if (alignment & Qt::AlignJustify)
        para.alignment = Alignment::Justify;
    para.leftIndent = twips(format.leftMargin());
    para.rightIndent = twips(format.rightMargin());
    para.firstIndent = twips(format.textIndent());
    para.spaceBefore = twips(format.topMargin());
    para.spaceAfter = twips(format.bottomMargin());
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        para.lineSpacing = int(std::lround(format.lineHeight() * 240.0 / 100.0));
        para.lineMultiple = true;
        break;
    case QTextBlockFormat::MinimumHeight: para.lineSpacing = twips(format.lineHeight()); break;
    case QTextBlockFormat::FixedHeight: para.lineSpacing = -twips(format.lineHeight()); break;
    default: break;
    }
    const QVariantList leaders = format.property(ParagraphTabLeaders).toList();
    for (const QTextOption::Tab &tab : format.tabPositions()) {
        const int leader = leaders.value(para.tabs.size()).toInt();
        para.tabs.append(TabStop{twips(tab.position), tab.type,
                                 leader >= 0 && leader <= int(TabLeader::MiddleDots) ? TabLeader(leader) : TabLeader::None});
    }
    para.keepNext = format.boolProperty(ParagraphKeepWithNext);
    para.keepTogether = format.boolProperty(ParagraphKeepTogether);
    para.widowControl = !format.boolProperty(ParagraphWidowControlOff);
    para.columnBreakBefore = format.boolProperty(ParagraphColumnBreakBefore);
    para.pageBreakBefore = format.boolProperty(ParagraphPageBreakBefore)
        || (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);

    if (format.hasProperty(ParagraphFrameStyle)) {
        const int style = format.intProperty(ParagraphFrameStyle);
        para.frameStyle = style;
        for (int side = Top; side < BorderSideCount; ++side) {
            Border &border = para.borders[side];
            border.present = style & kFrameSideBits[side];
            border.isDouble = style & kFrameDouble;
            border.width = format.intProperty(ParagraphFrameLineWidth);
            border.space = format.intProperty(ParagraphFrameDistance);
        }
    }
    return para;
}

void applyCellProperties(QTextTableCellFormat &format, const CellProperties &cell, const RowProperties &row)
{
    static constexpr QTextFrameFormat::BorderStyle kNone = QTextFrameFormat::BorderStyle_None;
    auto side = [&](int index, auto setWidth, auto setStyle, auto setBrush) {
        const Border &border = cell.borders[index];
        if (!border.present) {
            (format.*setStyle)(kNone);
            (format.*setWidth)(0);
            return;
        }
        (format.*setWidth)(pointsFromTwips(std::max(border.width, 1)));
        (format.*setStyle)(border.isDouble ? QTextFrameFormat::BorderStyle_Double
                                           : QTextFrameFormat::BorderStyle_Solid);
        (format.*setBrush)(border.color.isValid() ? QBrush(border.color) : QBrush(Qt::black));
    };
    side(Top, &QTextTableCellFormat::setTopBorder, &QTextTableCellFormat::setTopBorderStyle,
         &QTextTableCellFormat::setTopBorderBrush);
    side(Bottom, &QTextTableCellFormat::setBottomBorder, &QTextTableCellFormat::setBottomBorderStyle,
         &QTextTableCellFormat::setBottomBorderBrush);
    side(Left, &QTextTableCellFormat::setLeftBorder, &QTextTableCellFormat::setLeftBorderStyle,
         &QTextTableCellFormat::setLeftBorderBrush);
    side(Right, &QTextTableCellFormat::setRightBorder, &QTextTableCellFormat::setRightBorderStyle,
         &QTextTableCellFormat::setRightBorderBrush);
    if (cell.shading.isValid())
        format.setBackground(cell.shading);
    if (cell.vertical == VerticalAlignment::Center)
        format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    else if (cell.vertical == VerticalAlignment::Bottom)
        format.setVerticalAlignment(QTextCharFormat::AlignBottom);
    // Files give exact heights as negative ones.
    if (const int height = std::min(std::abs(row.height), 31680); height > 0) {
        format.setProperty(TableRowMinimumHeight, height);
        if (row.height < 0)
            format.setProperty(TableRowExactHeight, true);
    }
    const auto padding = [](int given, int fallback) { return pointsFromTwips(std::clamp(given < 0 ? fallback : given, 0, 31680)); };
    format.setLeftPadding(padding(row.paddingLeft, row.gap));
    format.setRightPadding(padding(row.paddingRight, row.gap));
    if (row.paddingTop >= 0)
        format.setTopPadding(padding(row.paddingTop, 0));
    if (row.paddingBottom >= 0)
        format.setBottomPadding(padding(row.paddingBottom, 0));
    if (row.alignment == Alignment::Center)
        format.setProperty(TableRowAlignment, int(Qt::AlignHCenter));
    else if (row.alignment == Alignment::Right)
        format.setProperty(TableRowAlignment, int(Qt::AlignRight));
    if (row.keepTogether)
        format.setProperty(TableRowKeepTogether, true);
    format = limits::bounded(format).toTableCellFormat();
}

QVariantList rowEdges(const RowProperties &row)
{
    QVariantList edges;
    edges.reserve(row.cells.size() + 1);
    int previous = limits::twips(row.left);
    edges.append(previous);
    for (const CellProperties &cell : row.cells) {
        // Files give edges out of order or on top of each other: each cell
        // keeps at least a little width.
        previous = std::max(previous + 20, limits::twips(cell.right));
        edges.append(previous);
    }
    return edges;
}

void readRowGeometry(RowProperties &row, const QTextTableCellFormat &format)
{
    const QVariantList edges = format.property(TableRowEdges).toList();
    if (edges.size() >= 2) {
        row.left = edges.front().toInt();
        for (qsizetype i = 0; i < row.cells.size() && i + 1 < edges.size(); ++i)
            row.cells[i].right = edges.at(i + 1).toInt();
    }
    const int alignment = format.intProperty(TableRowAlignment);
    if (alignment & Qt::AlignHCenter)
        row.alignment = Alignment::Center;
    else if (alignment & Qt::AlignRight)
        row.alignment = Alignment::Right;
    if (format.hasProperty(QTextFormat::TableCellTopPadding))
        row.paddingTop = twips(format.topPadding());
    if (format.hasProperty(QTextFormat::TableCellBottomPadding))
        row.paddingBottom = twips(format.bottomPadding());
}

CellProperties cellProperties(const QTextTableCellFormat &format, qreal tableBorder)
{
    CellProperties cell;
    const struct {
        BorderSide side;
        qreal width;
        QTextFrameFormat::BorderStyle style;
        QBrush brush;
    } sides[] = {
        {Top, format.topBorder(), format.topBorderStyle(), format.topBorderBrush()},
        {Bottom, format.bottomBorder(), format.bottomBorderStyle(), format.bottomBorderBrush()},
        {Left, format.leftBorder(), format.leftBorderStyle(), format.leftBorderBrush()},
        {Right, format.rightBorder(), format.rightBorderStyle(), format.rightBorderBrush()},
    };
    static constexpr int kStyles[] = {QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellBottomBorderStyle,
                                      QTextFormat::TableCellLeftBorderStyle, QTextFormat::TableCellRightBorderStyle};
    for (const auto &side : sides) {
        Border &border = cell.borders[side.side];
        if (!format.hasProperty(kStyles[side.side])) {
            // No line of its own: the table's single line, as drawn.
            border.present = tableBorder > 0;
            border.width = std::max(1, twips(tableBorder));
            continue;
        }
        if (side.width <= 0 || side.style == QTextFrameFormat::BorderStyle_None)
            continue;
        border.present = true;
        border.isDouble = side.style == QTextFrameFormat::BorderStyle_Double;
        border.width = std::max(1, twips(side.width));
        if (side.brush.style() != Qt::NoBrush)
            border.color = side.brush.color().toRgb();
    }
    if (format.background().style() != Qt::NoBrush)
        cell.shading = format.background().color().toRgb();
    if (format.verticalAlignment() == QTextCharFormat::AlignMiddle)
        cell.vertical = VerticalAlignment::Center;
    else if (format.verticalAlignment() == QTextCharFormat::AlignBottom)
        cell.vertical = VerticalAlignment::Bottom;
    return cell;
}

int rowHeight(const QTextTableCellFormat &format)
{
    const int height = std::max(0, format.intProperty(TableRowMinimumHeight));
    return format.boolProperty(TableRowExactHeight) ? -height : height;
}

void applyShapeProperties(QTextFormat &format, const ShapeProperties &shape)
{
    // Files may give the corners in any order, none apart, or far away.
    const auto bounded = [](qint64 twips) {
        return int(std::clamp<qint64>(twips, -4 * PageSetup::LargestTwips, 4 * PageSetup::LargestTwips));
    };
    const auto size = [](qint64 from, qint64 to) {
        return int(std::clamp<qint64>(to > from ? to - from : from - to, 1, PageSetup::LargestTwips));
    };
    AnchoredPlacement placement;
    placement.left = bounded(std::min(shape.left, shape.right));
    placement.top = bounded(std::min(shape.top, shape.bottom));
    placement.width = size(shape.left, shape.right);
    placement.height = size(shape.top, shape.bottom);
    placement.horizontalFrom = shape.horizontalFrom;
    placement.verticalFrom = shape.verticalFrom;
    placement.wrap = shape.wrap;
    placement.applyTo(format);
}

std::optional<ShapeProperties> shapeProperties(const QTextFormat &format)
{
    const std::optional<AnchoredPlacement> placement = AnchoredPlacement::of(format);
    if (!placement)
        return std::nullopt;
    ShapeProperties shape;
    shape.left = placement->left;
    shape.top = placement->top;
    shape.right = placement->left + placement->width;
    shape.bottom = placement->top + placement->height;
    shape.horizontalFrom = placement->horizontalFrom;
    shape.verticalFrom = placement->verticalFrom;
    shape.wrap = placement->wrap;
    return shape;
}

} // namespace tamapiko::engine::word
