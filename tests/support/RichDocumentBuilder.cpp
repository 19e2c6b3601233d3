#include "engine/ResourceImage.h"
#include "support/RichDocumentBuilder.h"

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <cmath>

namespace tamapiko::test {

using namespace tamapiko::engine;

namespace {

QImage patternImage(int width, int height)
{
    // Blocks of flat colour survive JPEG well enough to be recognised, and a
    // diagonal makes a mirrored or rotated copy differ.
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, QColor(200, 30, 30));
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, QColor(30, 30, 200));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(0, height - 1, width - 1, 0);
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QTextCharFormat baseFormat(const QString &family, double size)
{
    QTextCharFormat format;
    format.setFontFamilies({family});
    format.setFontPointSize(size);
    format.setFontWeight(QFont::Normal);
    format.setForeground(QColor(Qt::black));
    return format;
}

const QString kMincho = QStringLiteral("ＭＳ 明朝");
const QString kGothic = QStringLiteral("ＭＳ ゴシック");
const QString kLatin = QStringLiteral("Times New Roman");

void insertPicture(QTextCursor &cursor, const QString &name, const QByteArray &bytes, const char *format,
                   double widthPt, double heightPt)
{
    QImage image;
    image.loadFromData(bytes, format);
    cursor.document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat picture;
    picture.setName(name);
    picture.setWidth(widthPt);
    picture.setHeight(heightPt);
    picture.setProperty(ImageOriginalData, bytes);
    picture.setProperty(ImageOriginalFormat, QString::fromLatin1(format));
    cursor.insertImage(picture);
}

} // namespace

QString RichDocumentParts::titleText() { return QStringLiteral("たまぴこ文書の見本"); }
QString RichDocumentParts::japaneseParagraph()
{
    return QStringLiteral("吾輩は猫である。名前はまだ無い。「どこで生れたか」とんと見当がつかぬ！　ＡＢＣ１２３ｱｲｳ〜");
}
QString RichDocumentParts::pngName() { return QStringLiteral("picture1.png"); }
QString RichDocumentParts::jpegName() { return QStringLiteral("picture2.jpg"); }

RichDocumentBuilder::RichDocumentBuilder(const QString &linkedImageDir, int parts)
    : m_parts(parts)
{
    if (linkedImageDir.isEmpty()) {
        m_linkedImagePath = QDir::temp().filePath(QStringLiteral("tamapiko-missing/linked.png"));
        return;
    }
    m_linkedImagePath = QDir(linkedImageDir).filePath(QStringLiteral("linked.png"));
    QFile file(m_linkedImagePath);
    if (file.open(QIODevice::WriteOnly))
        file.write(encoded(patternImage(24, 16), "PNG"));
}

QByteArray RichDocumentBuilder::pngBytes() { return encoded(patternImage(32, 20), "PNG"); }
QByteArray RichDocumentBuilder::jpegBytes() { return encoded(patternImage(40, 30), "JPEG"); }

void RichDocumentBuilder::build(DocumentModel &model) const
{
    model.clear();
    PageSetup page;
    page.width = 12240;   // Letter, with unequal margins so that a swap shows
    page.height = 15840;
    page.marginLeft = 1440;
    page.marginTop = 1080;
    page.marginRight = 1800;
    page.marginBottom = 720;
    model.setPageSetup(page);

    QTextDocument *doc = model.document();
    QTextCursor cursor(doc);

    // Heading: centred, large, bold Mincho.
    QTextBlockFormat heading;
    heading.setAlignment(Qt::AlignHCenter);
    heading.setBottomMargin(12);
    cursor.setBlockFormat(heading);
    QTextCharFormat title = baseFormat(kMincho, 16);
    title.setFontWeight(QFont::Bold);
    cursor.setBlockCharFormat(title);
    cursor.insertText(RichDocumentParts::titleText(), title);

    // Character attributes, one run each.
    QTextBlockFormat body;
    body.setAlignment(Qt::AlignLeft);
    cursor.insertBlock(body, baseFormat(kMincho, 10.5));
    const QTextCharFormat plain = baseFormat(kMincho, 10.5);
    cursor.insertText(QStringLiteral("本文は明朝、"), plain);
    QTextCharFormat f = baseFormat(kGothic, 12);
    cursor.insertText(QStringLiteral("ゴシック12pt、"), f);
    f = plain;
    f.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("太字"), f);
    f = plain;
    f.setFontItalic(true);
    cursor.insertText(QStringLiteral("斜体"), f);
    f = plain;
    f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    cursor.insertText(QStringLiteral("下線"), f);
    f.setUnderlineStyle(QTextCharFormat::DotLine);
    cursor.insertText(QStringLiteral("点線"), f);
    f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    cursor.insertText(QStringLiteral("波線"), f);
    f = plain;
    f.setFontStrikeOut(true);
    cursor.insertText(QStringLiteral("取消線"), f);
    f = plain;
    f.setForeground(QColor(0xC0, 0x10, 0x20));
    cursor.insertText(QStringLiteral("赤字"), f);
    f = plain;
    f.setBackground(QColor(0xFF, 0xFF, 0x00));
    cursor.insertText(QStringLiteral("黄色の背景"), f);
    f = plain;
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    cursor.insertText(QStringLiteral("上付き"), f);
    f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    cursor.insertText(QStringLiteral("下付き"), f);
    f = baseFormat(kLatin, 9);
    f.setFontWeight(QFont::Bold);
    f.setFontItalic(true);
    f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    f.setForeground(QColor(0x00, 0x60, 0x30));
    cursor.insertText(QStringLiteral(" Latin & <markup> \"quoted\""), f);

    // Paragraph layout: right aligned with indents and spacing, 150 % lines.
    QTextBlockFormat indented;
    indented.setAlignment(Qt::AlignRight);
    indented.setLeftMargin(36);
    indented.setRightMargin(18);
    indented.setTextIndent(18);
    indented.setTopMargin(6);
    indented.setBottomMargin(12);
    indented.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
    cursor.insertBlock(indented, plain);
    cursor.insertText(QStringLiteral("右寄せで字下げと段落間隔のある段落。"), plain);

    // Justified with tab stops and a fixed line height.
    QTextBlockFormat tabbed;
    tabbed.setAlignment(Qt::AlignJustify);
    tabbed.setTabPositions({QTextOption::Tab(72, QTextOption::LeftTab),
                            QTextOption::Tab(216, QTextOption::CenterTab),
                            QTextOption::Tab(360, QTextOption::RightTab)});
    tabbed.setLineHeight(20, QTextBlockFormat::FixedHeight);
    cursor.insertBlock(tabbed, plain);
    cursor.insertText(QStringLiteral("品名\t数量\t単価\t合計"), plain);

    // Centred paragraph after a page break, with a frame around it.
    QTextBlockFormat framed;
    framed.setAlignment(Qt::AlignHCenter);
    framed.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    framed.setProperty(ParagraphPageBreakBefore, true);
    if (m_parts & ParagraphFrames) {
        framed.setProperty(ParagraphFrameStyle, 0x01 | 0x02 | 0x04 | 0x08 | 0x1000 | 0x40);
        framed.setProperty(ParagraphFrameLineWidth, 40);
        framed.setProperty(ParagraphFrameDistance, 20);
        framed.setProperty(ParagraphKeepWithNext, true);
    }
    cursor.insertBlock(framed, plain);
    cursor.insertText(QStringLiteral("改ページの後の枠付き段落"), plain);

    // A 3 x 3 table: the top row's first two cells merged, the last column's
    // lower two merged, and shading on two cells.
    QTextTableFormat tableFormat;
    tableFormat.setBorder(1);
    tableFormat.setCellPadding(2);
    tableFormat.setCellSpacing(0);
    tableFormat.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 100),
                                           QTextLength(QTextLength::FixedLength, 120),
                                           QTextLength(QTextLength::FixedLength, 80)});
    cursor.insertBlock(body, plain);
    QTextTable *table = cursor.insertTable(3, 3, tableFormat);
    const QStringList cells = {QStringLiteral("見出し"), QString(), QStringLiteral("右上"),
                               QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("縦結合"),
                               QStringLiteral("三"), QStringLiteral("four"), QString()};
    for (int i = 0; i < cells.size(); ++i) {
        if (cells.at(i).isEmpty())
            continue;
        QTextCursor cellCursor = table->cellAt(i / 3, i % 3).firstCursorPosition();
        cellCursor.setBlockCharFormat(plain);
        cellCursor.insertText(cells.at(i), plain);
    }
    table->mergeCells(0, 0, 1, 2);
    table->mergeCells(1, 2, 2, 1);
    QTextTableCellFormat shaded;
    shaded.setBackground(QColor(0xD0, 0xE0, 0xF0));
    table->cellAt(0, 0).setFormat(shaded);
    shaded.setBackground(QColor(0xF0, 0xD0, 0xD0));
    table->cellAt(1, 2).setFormat(shaded);
    cursor = QTextCursor(doc);
    cursor.movePosition(QTextCursor::End);

    // Pictures: embedded PNG and JPEG, and a linked picture.
    cursor.insertBlock(body, plain);
    cursor.insertText(QStringLiteral("図："), plain);
    insertPicture(cursor, RichDocumentParts::pngName(), pngBytes(), "png", 48, 30);
    cursor.insertText(QStringLiteral(" と "), plain);
    insertPicture(cursor, RichDocumentParts::jpegName(), jpegBytes(), "jpeg", 60, 45);
    if (m_parts & LinkedPicture) {
        cursor.insertText(QStringLiteral(" リンク："), plain);
        QTextImageFormat linked;
        linked.setName(m_linkedImagePath);
        linked.setWidth(36);
        linked.setHeight(24);
        linked.setProperty(ImageLinkedPath, m_linkedImagePath);
        QImage image(m_linkedImagePath);
        if (!image.isNull())
            doc->addResource(QTextDocument::ImageResource, QUrl(m_linkedImagePath), image);
        cursor.insertImage(linked);
    }

    if (m_parts & FloatingFrame) {
        cursor.insertBlock(body, plain);
        QTextFrameFormat floating;
        floating.setPosition(QTextFrameFormat::FloatRight);
        floating.setWidth(QTextLength(QTextLength::FixedLength, 144));
        floating.setBorder(1);
        floating.setPadding(4);
        QTextFrame *frame = cursor.insertFrame(floating);
        QTextCursor inner = frame->firstCursorPosition();
        inner.setBlockCharFormat(plain);
        inner.insertText(QStringLiteral("枠の中の文章"), plain);
        cursor = QTextCursor(doc);
        cursor.movePosition(QTextCursor::End);
    }

    if (m_parts & Lists) {
        cursor.insertBlock(body, plain);
        cursor.insertText(QStringLiteral("箇条書き一"), plain);
        QTextListFormat bullets;
        bullets.setStyle(QTextListFormat::ListDisc);
        bullets.setIndent(1);
        QTextList *list = cursor.createList(bullets);
        cursor.insertBlock(body, plain);
        cursor.insertText(QStringLiteral("箇条書き二"), plain);
        list->add(cursor.block());
        QTextListFormat numbers;
        numbers.setStyle(QTextListFormat::ListDecimal);
        numbers.setIndent(2);
        cursor.insertBlock(body, plain);
        cursor.insertText(QStringLiteral("番号付き"), plain);
        cursor.createList(numbers);
    }

    // Japanese prose with a line break inside the paragraph.
    cursor.insertBlock(body, plain);
    cursor.insertText(RichDocumentParts::japaneseParagraph(), plain);
    cursor.insertText(QString(QChar::LineSeparator), plain);
    cursor.insertText(QStringLiteral("改行の後の行"), plain);
}

void flattenUnderlineStyles(DocumentModel &model)
{
    QTextDocument *doc = model.document();
    QList<QPair<int, int>> ranges;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const auto style = it.fragment().charFormat().underlineStyle();
            if (style != QTextCharFormat::NoUnderline && style != QTextCharFormat::SingleUnderline)
                ranges.append({it.fragment().position(), it.fragment().length()});
        }
    }
    QTextCursor cursor(doc);
    QTextCharFormat single;
    single.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    for (const auto &[position, length] : std::as_const(ranges)) {
        cursor.setPosition(position);
        cursor.setPosition(position + length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(single);
    }
}

// ---------------------------------------------------------------------------
// Comparison

ComparisonProfile ComparisonProfile::everything()
{
    ComparisonProfile profile;
    profile.allProperties = true;
    profile.lengthTolerance = 0;
    return profile;
}

ComparisonProfile ComparisonProfile::richText()
{
    ComparisonProfile profile;
    profile.charProperties = {QTextFormat::FontFamilies, QTextFormat::FontPointSize, QTextFormat::FontWeight,
                              QTextFormat::FontItalic, QTextFormat::TextUnderlineStyle,
                              QTextFormat::FontStrikeOut, QTextFormat::ForegroundBrush,
                              QTextFormat::BackgroundBrush, QTextFormat::TextVerticalAlignment,
                              QTextFormat::ImageWidth, QTextFormat::ImageHeight};
    profile.blockProperties = {QTextFormat::BlockAlignment, QTextFormat::BlockLeftMargin,
                               QTextFormat::BlockRightMargin, QTextFormat::TextIndent,
                               QTextFormat::BlockTopMargin, QTextFormat::BlockBottomMargin,
                               QTextFormat::PageBreakPolicy};
    profile.cellProperties = {QTextFormat::BackgroundBrush};
    profile.compareFrames = false;
    return profile;
}

namespace {

// A cell's format with the table's line on every side the cell leaves to
// the table, as the page draws it: a format that writes the table's border
// into each cell keeps what the reader sees.
QTextFormat drawnCellFormat(QTextTable *table, int position)
{
    QTextFormat format = table->cellAt(position).format();
    const qreal border = table->format().border();
    static constexpr int kSides[4][3] = {
        {QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellTopBorder, QTextFormat::TableCellTopBorderBrush},
        {QTextFormat::TableCellBottomBorderStyle, QTextFormat::TableCellBottomBorder,
         QTextFormat::TableCellBottomBorderBrush},
        {QTextFormat::TableCellLeftBorderStyle, QTextFormat::TableCellLeftBorder, QTextFormat::TableCellLeftBorderBrush},
        {QTextFormat::TableCellRightBorderStyle, QTextFormat::TableCellRightBorder,
         QTextFormat::TableCellRightBorderBrush},
    };
    for (const auto &side : kSides) {
        if (format.hasProperty(side[0]) || border <= 0)
            continue;
        format.setProperty(side[0], int(QTextFrameFormat::BorderStyle_Solid));
        format.setProperty(side[1], border);
        format.setProperty(side[2], QBrush(Qt::black)); // the page draws every line black
    }
    return format;
}

QString shortText(const QString &text)
{
    QString shown = text.left(12);
    shown.replace(QChar::ObjectReplacementCharacter, QStringLiteral("[obj]"));
    shown.replace(QChar::LineSeparator, QStringLiteral("\\n"));
    return QLatin1Char('"') + shown + (text.size() > 12 ? QStringLiteral("…\"") : QStringLiteral("\""));
}

QString propertyName(int id)
{
    switch (id) {
    case QTextFormat::FontFamilies: return QStringLiteral("font families");
    case QTextFormat::FontPointSize: return QStringLiteral("font size");
    case QTextFormat::FontWeight: return QStringLiteral("font weight");
    case QTextFormat::FontItalic: return QStringLiteral("italic");
    case QTextFormat::TextUnderlineStyle: return QStringLiteral("underline style");
    case QTextFormat::FontStrikeOut: return QStringLiteral("strike-out");
    case QTextFormat::ForegroundBrush: return QStringLiteral("text colour");
    case QTextFormat::BackgroundBrush: return QStringLiteral("background");
    case QTextFormat::TextVerticalAlignment: return QStringLiteral("vertical alignment");
    case QTextFormat::BlockAlignment: return QStringLiteral("alignment");
    case QTextFormat::BlockLeftMargin: return QStringLiteral("left indent");
    case QTextFormat::BlockRightMargin: return QStringLiteral("right indent");
    case QTextFormat::TextIndent: return QStringLiteral("first-line indent");
    case QTextFormat::BlockTopMargin: return QStringLiteral("space before");
    case QTextFormat::BlockBottomMargin: return QStringLiteral("space after");
    case QTextFormat::LineHeight: return QStringLiteral("line height");
    case QTextFormat::TabPositions: return QStringLiteral("tab stops");
    case QTextFormat::ImageWidth: return QStringLiteral("picture width");
    case QTextFormat::ImageHeight: return QStringLiteral("picture height");
    case QTextFormat::PageBreakPolicy: return QStringLiteral("page break");
    default: return QStringLiteral("property 0x%1").arg(id, 0, 16);
    }
}

QString valueText(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("(none)");
    if (value.metaType() == QMetaType::fromType<QBrush>())
        return value.value<QBrush>().color().name();
    if (value.metaType() == QMetaType::fromType<QColor>())
        return value.value<QColor>().name();
    if (value.metaType() == QMetaType::fromType<QStringList>())
        return value.toStringList().join(QLatin1Char(','));
    if (value.metaType() == QMetaType::fromType<QByteArray>())
        return QStringLiteral("%1 bytes").arg(value.toByteArray().size());
    if (value.canConvert<QString>())
        return value.toString();
    return QString::fromLatin1(value.typeName());
}

// What a property holds when a format does not set it.
QVariant implicitValue(int id, const QVariant &other)
{
    switch (id) {
    case QTextFormat::FontWeight: return QFont::Normal;
    case QTextFormat::ForegroundBrush: return QBrush(Qt::black);
    case QTextFormat::BackgroundBrush: return QBrush();
    case QTextFormat::BlockAlignment: return int(Qt::AlignLeft);
    default: break;
    }
    return other.isValid() ? QVariant(other.metaType()) : QVariant();
}

bool isNumber(const QVariant &v)
{
    const int type = v.metaType().id();
    return type == QMetaType::Double || type == QMetaType::Float || type == QMetaType::Int
        || type == QMetaType::LongLong || type == QMetaType::UInt;
}

bool sameValue(int id, QVariant a, QVariant b, double tolerance)
{
    if (!a.isValid())
        a = implicitValue(id, b);
    if (!b.isValid())
        b = implicitValue(id, a);
    if (id == QTextFormat::FontFamilies) // the first family is the one asked for
        return a.toStringList().value(0) == b.toStringList().value(0);
    if (a.metaType() == QMetaType::fromType<QBrush>() || b.metaType() == QMetaType::fromType<QBrush>()) {
        const QBrush ba = a.value<QBrush>();
        const QBrush bb = b.value<QBrush>();
        if (ba.style() == Qt::NoBrush || bb.style() == Qt::NoBrush)
            return ba.style() == bb.style();
        return ba.color().rgba() == bb.color().rgba();
    }
    if (a.metaType() == QMetaType::fromType<QTextLength>() && b.metaType() == QMetaType::fromType<QTextLength>()) {
        const auto la = a.value<QTextLength>();
        const auto lb = b.value<QTextLength>();
        return la.type() == lb.type() && std::abs(la.rawValue() - lb.rawValue()) <= tolerance;
    }
    if (isNumber(a) && isNumber(b))
        return std::abs(a.toDouble() - b.toDouble()) <= tolerance;
    return a == b;
}

QString compareFormats(const QTextFormat &expected, const QTextFormat &actual, const QList<int> &ids,
                       bool allProperties, double tolerance)
{
    QList<int> keys = ids;
    if (allProperties) {
        keys = expected.properties().keys();
        for (int key : actual.properties().keys()) {
            if (!keys.contains(key))
                keys.append(key);
        }
    }
    keys.removeAll(QTextFormat::ObjectIndex); // which object a format belongs to, not a look
    for (int id : std::as_const(keys)) {
        const QVariant a = expected.property(id);
        const QVariant b = actual.property(id);
        if (!sameValue(id, a, b, tolerance))
            return QStringLiteral("%1 %2 != %3").arg(propertyName(id), valueText(a), valueText(b));
    }
    return QString();
}

struct Run
{
    QString text;
    QTextCharFormat format;
};

// A block's fragments, neighbours merged when they look the same under the
// profile, so that a writer may split or join runs freely.
QList<Run> runsOf(const QTextBlock &block, const ComparisonProfile &profile)
{
    QList<Run> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const QTextCharFormat format = fragment.charFormat();
        const bool object = format.isImageFormat() || fragment.text().contains(QChar::ObjectReplacementCharacter);
        if (!runs.isEmpty() && !object && !runs.last().format.isImageFormat()
            && compareFormats(runs.last().format, format, profile.charProperties, profile.allProperties, 0)
                   .isEmpty()) {
            runs.last().text += fragment.text();
            continue;
        }
        runs.append({fragment.text(), format});
    }
    return runs;
}

QString compareImages(const QTextDocument *expected, const QTextImageFormat &a, const QTextDocument *actual,
                      const QTextImageFormat &b)
{
    const QImage ia = resourceImage(expected, a.name());
    const QImage ib = resourceImage(actual, b.name());
    if (ia.isNull())
        return QString(); // nothing to compare against (a linked file that is absent)
    if (ib.isNull())
        return QStringLiteral("picture %1 lost its pixels").arg(a.name());
    if (ia.convertToFormat(QImage::Format_RGB32) != ib.convertToFormat(QImage::Format_RGB32))
        return QStringLiteral("picture %1 has other pixels (%2x%3 vs %4x%5)")
            .arg(a.name())
            .arg(ia.width())
            .arg(ia.height())
            .arg(ib.width())
            .arg(ib.height());
    return QString();
}

QString tablePlace(const QTextBlock &block)
{
    QTextCursor cursor(block);
    QTextTable *table = cursor.currentTable();
    if (!table)
        return QStringLiteral("outside tables");
    const QTextTableCell cell = table->cellAt(block.position());
    return QStringLiteral("table %1x%2 cell (%3,%4) span %5x%6")
        .arg(table->rows())
        .arg(table->columns())
        .arg(cell.row())
        .arg(cell.column())
        .arg(cell.rowSpan())
        .arg(cell.columnSpan());
}

QList<QTextFrame *> framesAround(const QTextBlock &block)
{
    QList<QTextFrame *> frames;
    for (QTextFrame *frame = QTextCursor(block).currentFrame(); frame && frame->parentFrame();
         frame = frame->parentFrame()) {
        if (!qobject_cast<QTextTable *>(frame))
            frames.append(frame);
    }
    return frames;
}

QString compareBlocks(const QTextBlock &a, const QTextBlock &b, const engine::DocumentModel &expected,
                      const engine::DocumentModel &actual, const ComparisonProfile &profile)
{
    if (a.text() != b.text())
        return QStringLiteral("text %1 != %2").arg(shortText(a.text()), shortText(b.text()));
    QString difference = compareFormats(a.blockFormat(), b.blockFormat(), profile.blockProperties,
                                        profile.allProperties, profile.lengthTolerance);
    if (!difference.isEmpty())
        return QStringLiteral("paragraph ") + difference;
    if (profile.allProperties) {
        difference = compareFormats(a.charFormat(), b.charFormat(), {}, true, profile.lengthTolerance);
        if (!difference.isEmpty())
            return QStringLiteral("paragraph mark ") + difference;
    }
    if (profile.compareTables) {
        const QString placeA = tablePlace(a);
        const QString placeB = tablePlace(b);
        if (placeA != placeB)
            return QStringLiteral("%1 != %2").arg(placeA, placeB);
        QTextTable *ta = QTextCursor(a).currentTable();
        QTextTable *tb = QTextCursor(b).currentTable();
        if (ta && tb) {
            difference = compareFormats(drawnCellFormat(ta, a.position()), drawnCellFormat(tb, b.position()),
                                        profile.cellProperties, profile.allProperties, profile.lengthTolerance);
            if (difference.isEmpty() && profile.allProperties)
                difference = compareFormats(ta->format(), tb->format(), {}, true, profile.lengthTolerance);
            if (!difference.isEmpty())
                return QStringLiteral("table cell ") + difference;
        }
    }
    if (a.textList() || b.textList()) {
        if (!a.textList() || !b.textList())
            return QStringLiteral("in a list %1 != %2").arg(a.textList() != nullptr).arg(b.textList() != nullptr);
        if (a.textList()->itemNumber(a) != b.textList()->itemNumber(b))
            return QStringLiteral("list item %1 != %2").arg(a.textList()->itemNumber(a)).arg(b.textList()->itemNumber(b));
        difference = compareFormats(a.textList()->format(), b.textList()->format(),
                                    {QTextFormat::ListStyle, QTextFormat::ListIndent}, profile.allProperties,
                                    profile.lengthTolerance);
        if (!difference.isEmpty())
            return QStringLiteral("list ") + difference;
    }
    if (profile.compareFrames) {
        const QList<QTextFrame *> fa = framesAround(a);
        const QList<QTextFrame *> fb = framesAround(b);
        if (fa.size() != fb.size())
            return QStringLiteral("inside %1 frames != %2").arg(fa.size()).arg(fb.size());
        for (int i = 0; i < fa.size(); ++i) {
            difference = compareFormats(fa.at(i)->frameFormat(), fb.at(i)->frameFormat(), {},
                                        profile.allProperties, profile.lengthTolerance);
            if (!difference.isEmpty())
                return QStringLiteral("frame ") + difference;
        }
    }
    const QList<Run> ra = runsOf(a, profile);
    const QList<Run> rb = runsOf(b, profile);
    for (int i = 0; i < qMin(ra.size(), rb.size()); ++i) {
        const QString where = QStringLiteral("run %1 (%2): ").arg(i).arg(shortText(ra.at(i).text));
        if (ra.at(i).text != rb.at(i).text)
            return where + QStringLiteral("text != %1").arg(shortText(rb.at(i).text));
        // A picture's font is nobody's business but its size is.
        const QList<int> compared = ra.at(i).format.isImageFormat() && !profile.allProperties
            ? QList<int>{QTextFormat::ImageWidth, QTextFormat::ImageHeight}
            : profile.charProperties;
        difference = compareFormats(ra.at(i).format, rb.at(i).format, compared, profile.allProperties,
                                    profile.lengthTolerance);
        if (!difference.isEmpty())
            return where + difference;
        const bool imageA = ra.at(i).format.isImageFormat();
        if (imageA != rb.at(i).format.isImageFormat())
            return where + QStringLiteral("picture != not a picture");
        if (imageA && profile.compareImagePixels) {
            difference = compareImages(expected.document(), ra.at(i).format.toImageFormat(), actual.document(),
                                       rb.at(i).format.toImageFormat());
            if (!difference.isEmpty())
                return where + difference;
        }
    }
    if (ra.size() != rb.size())
        return QStringLiteral("%1 runs != %2").arg(ra.size()).arg(rb.size());
    return QString();
}

} // namespace

QString firstDifference(const engine::DocumentModel &expected, const engine::DocumentModel &actual,
                        const ComparisonProfile &profile)
{
    if (profile.comparePageSetup && !(expected.pageSetup() == actual.pageSetup())) {
        const PageSetup &a = expected.pageSetup();
        const PageSetup &b = actual.pageSetup();
        return QStringLiteral("page %1x%2 margins %3,%4,%5,%6 != %7x%8 margins %9,%10,%11,%12")
            .arg(a.width).arg(a.height).arg(a.marginLeft).arg(a.marginTop).arg(a.marginRight).arg(a.marginBottom)
            .arg(b.width).arg(b.height).arg(b.marginLeft).arg(b.marginTop).arg(b.marginRight).arg(b.marginBottom);
    }
    QTextBlock a = expected.document()->begin();
    QTextBlock b = actual.document()->begin();
    int index = 0;
    for (; a.isValid() && b.isValid(); a = a.next(), b = b.next(), ++index) {
        const QString difference = compareBlocks(a, b, expected, actual, profile);
        if (!difference.isEmpty())
            return QStringLiteral("block %1 (%2): %3").arg(index).arg(shortText(a.text()), difference);
    }
    if (a.isValid() || b.isValid())
        return QStringLiteral("block counts differ: %1 != %2")
            .arg(expected.document()->blockCount())
            .arg(actual.document()->blockCount());
    return QString();
}

} // namespace tamapiko::test
