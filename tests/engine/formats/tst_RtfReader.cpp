// The RTF reader against hand-written RTF: character sets, formatting,
// paragraphs, page set-up, tables, pictures, fields, and hostile input.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/RtfControlWords.h"
#include "engine/formats/RtfFilter.h"
#include "engine/io/DocumentStorage.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;

namespace {

std::unique_ptr<DocumentModel> read(const QByteArray &rtf, QString *error = nullptr)
{
    auto model = std::make_unique<DocumentModel>();
    QBuffer buffer;
    buffer.setData(rtf);
    buffer.open(QIODevice::ReadOnly);
    QString message;
    if (!RtfFilter().read(buffer, *model, {}, &message)) {
        if (error)
            *error = message;
        return nullptr;
    }
    return model;
}

QByteArray write(const DocumentModel &model)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    RtfFilter().write(buffer, model, {}, nullptr);
    return buffer.data();
}

// The blocks' characters as stored (line separators and no-break spaces
// stay themselves), one block a line, table cells included.
QString plainText(const QTextDocument *document)
{
    QStringList blocks;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        blocks.append(block.text());
    return blocks.join(QLatin1Char('\n'));
}

QString textOf(const QByteArray &rtf)
{
    const auto model = read(rtf);
    return model ? plainText(model->document()) : QStringLiteral("<refused>");
}

// The character format in effect inside the first occurrence of `text`.
QTextCharFormat formatOf(const QTextDocument *document, const QString &text)
{
    const QTextCursor found = document->find(text);
    if (found.isNull())
        return {};
    QTextCursor cursor = found;
    cursor.setPosition(found.selectionStart() + 1);
    return cursor.charFormat();
}

QTextBlockFormat blockOf(const QTextDocument *document, const QString &text)
{
    return document->find(text).block().blockFormat();
}

const QByteArray kJapaneseHeader = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fcharset0 Century;}"
                                   "{\\f1\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}"
                                   "{\\f2\\fcharset134 SimSun;}{\\f3\\fcharset136 MingLiU;}"
                                   "{\\f4\\fcharset129 Batang;}{\\f5\\fcharset2 Symbol;}"
                                   "{\\f6\\fcharset0\\cpg932 Override;}}"
                                   "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";

} // namespace

class tst_RtfReader : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void characterFormatting();
    void stylesResolveToAttributes();
    void propertiesBeforeTheStyleNumberStay();
    void paragraphFormatting();
    void lastParagraphWithoutParKeepsItsFormat();
    void paragraphBordersBecomeFrames();
    void pageSetup();
    void tables();
    void pictures();
    void hyperlinks();
    void hostileInput_data();
    void hostileInput();
    void notRtfIsRefused();
    void rtfUnderAnotherNameOpensAsRtf();
};

void tst_RtfReader::text_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("expected");

    // Code pages follow the current font.
    QTest::newRow("shift-jis pair split over two escapes") << QByteArray("\\f1 \\'82\\'a0\\'82\\'a2") << u"あい"_qs;
    QTest::newRow("shift-jis trail byte written as ASCII") << QByteArray("\\f1 \\'83A\\'83\\\\") << u"アソ"_qs;
    QTest::newRow("escapes run on across line ends") << QByteArray("\\f1 \\'82\r\n\\'a0\\'82\n\\'a2") << u"あい"_qs;
    QTest::newRow("a long run of escapes")
        << QByteArray("\\f1 ") + QByteArray("\\'82\\'a0").repeated(300) + "x" << QString(300, u'あ') + u'x';
    QTest::newRow("bytes that are no character")
        << QByteArray("\\f1 \\'82\\'20x|\\'85\\'40|\\'a0\\'b1|a\\'82\\par b") << u"\u001A x|\uFFFD|\u001Aｱ|a\nb"_qs;
    QTest::newRow("NEC and IBM extensions") << QByteArray("\\f1 \\'87\\'40\\'fa\\'40\\'81\\'60") << u"①ⅰ～"_qs;
    QTest::newRow("GBK, Big5 and Korean fonts")
        << QByteArray("\\f2 \\'b2\\'e2\\'ca\\'d4\\f3 \\'a4\\'a4\\f4 \\'c7\\'d1") << u"测试中한"_qs;
    QTest::newRow("cpg overrides the charset") << QByteArray("\\f6 \\'82\\'a0") << u"あ"_qs;
    QTest::newRow("ANSI font in a cp932 file") << QByteArray("\\f0 caf\\'e9") << u"café"_qs;
    QTest::newRow("symbol font glyphs") << QByteArray("\\f5 \\'b7 a\\'b3") << u"• α≥"_qs;

    // \u and its fallback
    QTest::newRow("uc1 skips one byte") << QByteArray("\\uc1\\u8364?x") << u"€x"_qs;
    QTest::newRow("uc2 skips a DBCS escape pair") << QByteArray("\\f1\\uc2\\u12354\\'82\\'a0x") << u"あx"_qs;
    QTest::newRow("negative values") << QByteArray("\\u-4064?") << QString(QChar(0xF020));
    QTest::newRow("uc0 skips nothing") << QByteArray("\\uc0\\u65 B") << u"AB"_qs;
    QTest::newRow("fallback counts a control word") << QByteArray("\\uc1\\u8364\\tab x") << u"€x"_qs;
    QTest::newRow("group end ends the fallback") << QByteArray("{\\uc3\\u8364 a}bc") << u"€bc"_qs;
    QTest::newRow("surrogate pair") << QByteArray("\\u-10179?\\u-8704?") << u"\U0001F600"_qs;
    QTest::newRow("unpaired surrogates") << QByteArray("\\u-10179?x\\u-8704?") << u"\uFFFDx\uFFFD"_qs;
    QTest::newRow("upr keeps the Unicode part")
        << QByteArray("{\\upr{\\f1 \\'82\\'a0}{\\*\\ud{\\u12354?}}}") << u"あ"_qs;

    // Symbols and breaks
    QTest::newRow("symbols")
        << QByteArray("a\\tab b\\line c\\~d\\-e\\_f\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote")
        << u"a\tb\u2028c\u00A0d\u00ADe\u2011f—–•‘’“”"_qs;
    QTest::newRow("escaped braces and backslash") << QByteArray("\\{x\\}\\\\") << u"{x}\\"_qs;
    QTest::newRow("line ends are not text") << QByteArray("ab\r\ncd\ne\rf") << u"abcdef"_qs;
    QTest::newRow("backslash before a line end is a paragraph") << QByteArray("a\\\nb\\\r\nc") << u"a\nb\nc"_qs;
    QTest::newRow("par and sect") << QByteArray("a\\par b\\sect\\sbknone c") << u"a\nb\nc"_qs;

    // Destinations
    QTest::newRow("bin data with braces is skipped") << QByteArray("a{\\*\\x \\bin3 }{\\}b") << u"ab"_qs;
    QTest::newRow("text of other destinations does not leak")
        << QByteArray("{\\header H}{\\footer F}{\\info{\\title T}}a{\\footnote N}{\\*\\atnid X}"
                      "{\\annotation C}{\\*\\unknown U}{\\*\\bkmkstart K}b")
        << u"ab"_qs;
    QTest::newRow("unknown words are ignored") << QByteArray("\\frobnicate42 a\\zz b") << u"ab"_qs;
    QTest::newRow("footnote marks are numbered")
        << QByteArray("a\\chftn{\\footnote\\chftn x}b\\chftn{\\footnote y}") << u"a1b2"_qs;
    QTest::newRow("field result kept, instruction dropped")
        << QByteArray("{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}") << u"7"_qs;
    QTest::newRow("list labels are text") << QByteArray("{\\listtext 1.\\tab}one") << u"1.\tone"_qs;
}

void tst_RtfReader::text()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);
    QCOMPARE(textOf(kJapaneseHeader + body + '}'), expected);
}

void tst_RtfReader::characterFormatting()
{
    const auto model = read(kJapaneseHeader
                            + "\\f0\\fs21 {\\b bold}{\\i italic}{\\ul single}{\\uldb double}{\\ulwave wave}"
                              "{\\uld dotted}{\\strike struck}{\\striked1 twice}{\\cf1 red}{\\highlight2 marked}"
                              "{\\chcbpat1 shaded}{\\super sup}{\\sub sub}{\\up6 raised}{\\fs40 big}"
                              "{\\f1 mincho}{\\b\\i\\plain plain}{\\b Bq\\b0 Bz}{\\ul Uq\\ulnone Uz}}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();

    QCOMPARE(formatOf(doc, "bold").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatOf(doc, "italic").fontItalic(), true);
    QCOMPARE(formatOf(doc, "single").underlineStyle(), QTextCharFormat::SingleUnderline);
    QCOMPARE(formatOf(doc, "double").intProperty(CharUnderlineKind), int(rtf::UnderlineKind::Double));
    QCOMPARE(formatOf(doc, "wave").underlineStyle(), QTextCharFormat::WaveUnderline);
    QCOMPARE(formatOf(doc, "dotted").underlineStyle(), QTextCharFormat::DotLine);
    QVERIFY(formatOf(doc, "struck").fontStrikeOut());
    QVERIFY(formatOf(doc, "twice").boolProperty(CharDoubleStrike));
    QCOMPARE(formatOf(doc, "red").foreground().color(), QColor(255, 0, 0));
    QCOMPARE(formatOf(doc, "marked").background().color(), QColor(0, 0, 255));
    QCOMPARE(formatOf(doc, "shaded").background().color(), QColor(255, 0, 0));
    QCOMPARE(formatOf(doc, "sup").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    QCOMPARE(formatOf(doc, "sub").verticalAlignment(), QTextCharFormat::AlignSubScript);
    QCOMPARE(formatOf(doc, "raised").intProperty(CharBaselineOffset), 6);
    QCOMPARE(formatOf(doc, "big").fontPointSize(), 20.0);
    QCOMPARE(formatOf(doc, "bold").fontPointSize(), 10.5);
    QCOMPARE(formatOf(doc, "mincho").fontFamilies().toStringList(), QStringList{u"ＭＳ 明朝"_qs});
    QCOMPARE(formatOf(doc, "bold").fontFamilies().toStringList(), QStringList{u"Century"_qs});

    const QTextCharFormat plain = formatOf(doc, "plain");
    QCOMPARE(plain.fontWeight(), int(QFont::Normal));
    QVERIFY(!plain.fontItalic());
    QCOMPARE(plain.fontPointSize(), 12.0); // \plain restores the 12 pt default
    QCOMPARE(formatOf(doc, "Bq").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatOf(doc, "Bz").fontWeight(), int(QFont::Normal));
    QCOMPARE(formatOf(doc, "Uq").underlineStyle(), QTextCharFormat::SingleUnderline);
    QCOMPARE(formatOf(doc, "Uz").underlineStyle(), QTextCharFormat::NoUnderline);
}

void tst_RtfReader::stylesResolveToAttributes()
{
    const auto model = read("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Courier;}}"
                            "{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\sb240\\keepn\\b\\fs32 heading 1;}"
                            "{\\*\\cs2\\additive\\i\\f1 Emphasis;}{\\*\\ts3\\tsrowd\\b0 Table;}}"
                            "\\pard\\plain\\s1 Title\\par\\pard\\plain\\s0 Body {\\cs2 quoted} text\\par}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();
    QCOMPARE(blockOf(doc, "Title").alignment(), Qt::AlignHCenter);
    QCOMPARE(blockOf(doc, "Title").topMargin(), 12.0);
    QVERIFY(blockOf(doc, "Title").boolProperty(ParagraphKeepWithNext));
    QCOMPARE(formatOf(doc, "Title").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatOf(doc, "Title").fontPointSize(), 16.0);
    QCOMPARE(formatOf(doc, "Body").fontWeight(), int(QFont::Normal));
    // A character style changes only what it names.
    QVERIFY(formatOf(doc, "quoted").fontItalic());
    QCOMPARE(formatOf(doc, "quoted").fontFamilies().toStringList(), QStringList{u"Courier"_qs});
    QCOMPARE(formatOf(doc, "quoted").fontPointSize(), 12.0);
}

// AbiWord and others write the paragraph's own properties before its
// style number: the style fills in only what the paragraph does not say.
void tst_RtfReader::propertiesBeforeTheStyleNumberStay()
{
    const auto model = read("{\\rtf1\\ansi{\\stylesheet{\\s0 Normal;}{\\s28\\sb240\\qr heading;}}"
                            "\\pard\\plain\\qc\\s28 centred\\par"
                            "\\pard\\plain\\s28 styled\\par}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();
    QCOMPARE(blockOf(doc, "centred").alignment(), Qt::AlignHCenter);
    QCOMPARE(blockOf(doc, "centred").topMargin(), 12.0);
    QCOMPARE(blockOf(doc, "styled").alignment(), Qt::AlignRight);
}

// Other programs end the last paragraph with the document, without \par:
// its properties are the ones in effect at the end.
void tst_RtfReader::lastParagraphWithoutParKeepsItsFormat()
{
    const auto model = read("{\\rtf1\\ansi \\pard first\\par\\pard\\qr\\li720\\brdrb\\brdrs last}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();
    QCOMPARE(doc->blockCount(), 2);
    QCOMPARE(blockOf(doc, "last").alignment(), Qt::AlignRight);
    QCOMPARE(blockOf(doc, "last").leftMargin(), 36.0);
    QVERIFY(blockOf(doc, "last").hasProperty(ParagraphFrameStyle));
    QCOMPARE(blockOf(doc, "first").alignment(), Qt::AlignLeft);
}

void tst_RtfReader::paragraphFormatting()
{
    const auto model = read("{\\rtf1\\ansi "
                            "\\pard\\qr\\li720\\ri360\\fi-240\\sb120\\sa60 right\\par"
                            "\\pard\\qj\\sl360\\slmult1 multiple\\par"
                            "\\pard\\sl300\\slmult0 atleast\\par"
                            "\\pard\\sl-280\\slmult0 exactly\\par"
                            "\\pard\\tx1440\\tqc\\tx2880\\tqr\\tldot\\tx4320\\tqdec\\tx5760 tabs\\par"
                            "\\pard\\qc\\pagebb\\keepn centred\\par"
                            "\\pard before break\\page after break\\par"
                            "\\pard last}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();
    QCOMPARE(doc->blockCount(), 9); // the final paragraph needs no \par

    const QTextBlockFormat right = blockOf(doc, "right");
    QCOMPARE(right.alignment(), Qt::AlignRight);
    QCOMPARE(right.leftMargin(), 36.0);
    QCOMPARE(right.rightMargin(), 18.0);
    QCOMPARE(right.textIndent(), -12.0);
    QCOMPARE(right.topMargin(), 6.0);
    QCOMPARE(right.bottomMargin(), 3.0);

    QCOMPARE(blockOf(doc, "multiple").alignment(), Qt::AlignJustify);
    QCOMPARE(blockOf(doc, "multiple").lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
    QCOMPARE(blockOf(doc, "multiple").lineHeight(), 150.0);
    QCOMPARE(blockOf(doc, "atleast").lineHeightType(), int(QTextBlockFormat::MinimumHeight));
    QCOMPARE(blockOf(doc, "atleast").lineHeight(), 15.0);
    QCOMPARE(blockOf(doc, "exactly").lineHeightType(), int(QTextBlockFormat::FixedHeight));
    QCOMPARE(blockOf(doc, "exactly").lineHeight(), 14.0);

    const QList<QTextOption::Tab> tabs = blockOf(doc, "tabs").tabPositions();
    QCOMPARE(tabs.size(), 4);
    QCOMPARE(tabs.at(0).position, 72.0);
    QCOMPARE(tabs.at(0).type, QTextOption::LeftTab);
    QCOMPARE(tabs.at(1).type, QTextOption::CenterTab);
    QCOMPARE(tabs.at(2).type, QTextOption::RightTab);
    QCOMPARE(tabs.at(3).type, QTextOption::DelimiterTab);

    const QTextBlockFormat centred = blockOf(doc, "centred");
    QCOMPARE(centred.alignment(), Qt::AlignHCenter);
    QVERIFY(centred.boolProperty(ParagraphKeepWithNext));
    QVERIFY(centred.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    QVERIFY(!(blockOf(doc, "before break").pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore));
    QVERIFY(blockOf(doc, "after break").pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    // \pard resets what the paragraph before set.
    QCOMPARE(blockOf(doc, "last").alignment(), Qt::AlignLeft);
    QCOMPARE(blockOf(doc, "last").leftMargin(), 0.0);
}

void tst_RtfReader::paragraphBordersBecomeFrames()
{
    const auto model = read("{\\rtf1\\ansi "
                            "\\pard\\box\\brdrdb\\brdrw40\\brsp20 boxed\\par"
                            "\\pard\\brdrt\\brdrs\\brdrw10\\brdrb\\brdrs\\brdrw10 lines\\par"
                            "\\pard\\brdrbar\\brdrs bar\\par"
                            "\\pard\\trowd\\trbrdrt\\brdrs\\clbrdrl\\brdrs\\cellx100 plain\\par}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();
    const QTextBlockFormat boxed = blockOf(doc, "boxed");
    QCOMPARE(boxed.intProperty(ParagraphFrameStyle), 0x01 | 0x02 | 0x04 | 0x08 | 0x1000 | 0x40);
    QCOMPARE(boxed.intProperty(ParagraphFrameLineWidth), 40);
    QCOMPARE(boxed.intProperty(ParagraphFrameDistance), 20);
    QCOMPARE(blockOf(doc, "lines").intProperty(ParagraphFrameStyle), 0x04 | 0x08 | 0x100 | 0x200 | 0x1000 | 0x20);
    QCOMPARE(blockOf(doc, "bar").intProperty(ParagraphFrameStyle), 0x10 | 0x100 | 0x200 | 0x400 | 0x800 | 0x20);
    // Row and cell borders never land on a paragraph.
    QVERIFY(!blockOf(doc, "plain").hasProperty(ParagraphFrameStyle));
}

void tst_RtfReader::pageSetup()
{
    auto model = read("{\\rtf1\\ansi\\paperw16838\\paperh11906\\margl1000\\margr1100\\margt1200\\margb1300"
                      "\\landscape x}");
    QVERIFY(model);
    QCOMPARE(model->pageSetup().width, 16838);
    QCOMPARE(model->pageSetup().height, 11906);
    QCOMPARE(model->pageSetup().marginLeft, 1000);
    QCOMPARE(model->pageSetup().marginRight, 1100);
    QCOMPARE(model->pageSetup().marginTop, 1200);
    QCOMPARE(model->pageSetup().marginBottom, 1300);

    // Section values win; \landscape with portrait numbers turns the page.
    model = read("{\\rtf1\\ansi\\paperw11906\\paperh16838\\sectd\\lndscpsxn\\marglsxn500 x}");
    QVERIFY(model);
    QCOMPARE(model->pageSetup().width, 16838);
    QCOMPARE(model->pageSetup().height, 11906);
    QCOMPARE(model->pageSetup().marginLeft, 500);

    // Without page words the page is RTF's own default: Letter, margins
    // 1800 twips at the sides and 1440 above and below; the same for the
    // words a file leaves out.
    model = read("{\\rtf1\\ansi x}");
    PageSetup letter;
    letter.width = 12240;
    letter.height = 15840;
    letter.marginLeft = letter.marginRight = 1800;
    letter.marginTop = letter.marginBottom = 1440;
    QCOMPARE(model->pageSetup(), letter);
    // A file that names no font at all is set in Times New Roman, as Word
    // and LibreOffice show it.
    QCOMPARE(model->document()->firstBlock().begin().fragment().charFormat().fontFamilies().toStringList(),
             QStringList{QStringLiteral("Times New Roman")});
    model = read("{\\rtf1\\ansi\\paperw11906\\paperh16838\\margl1000 x}");
    QCOMPARE(model->pageSetup().marginLeft, 1000);
    QCOMPARE(model->pageSetup().marginRight, 1800);
    QCOMPARE(model->pageSetup().marginTop, 1440);
}

void tst_RtfReader::tables()
{
    const auto model = read(
        "{\\rtf1\\ansi{\\colortbl;\\red200\\green220\\blue240;}before\\par"
        "\\trowd\\trgaph100\\clmgf\\clcbpat1\\clbrdrt\\brdrdb\\brdrw30\\cellx2000\\clmrg\\cellx4000"
        "\\clvmgf\\cellx6000"
        "\\pard\\intbl wide\\cell\\cell top\\par second\\cell\\row"
        "\\trowd\\trgaph100\\cellx2000\\cellx4000\\clvmrg\\cellx6000"
        "\\pard\\intbl a\\cell b\\cell\\cell\\row"
        "\\pard after\\par}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();
    QTextTable *table = QTextCursor(doc->find("wide")).currentTable();
    QVERIFY(table);
    QCOMPARE(table->rows(), 2);
    QCOMPARE(table->columns(), 3);
    QCOMPARE(table->cellAt(0, 0).columnSpan(), 2);
    QCOMPARE(table->cellAt(0, 2).rowSpan(), 2);
    const QTextTableCellFormat shaded = table->cellAt(0, 0).format().toTableCellFormat();
    QCOMPARE(shaded.background().color(), QColor(200, 220, 240));
    QCOMPARE(shaded.topBorder(), 1.5);
    QCOMPARE(shaded.topBorderStyle(), QTextFrameFormat::BorderStyle_Double);
    QCOMPARE(shaded.leftPadding(), 5.0);
    const QList<QTextLength> widths = table->format().columnWidthConstraints();
    QCOMPARE(widths.size(), 3);
    QCOMPARE(widths.at(1).rawValue(), 100.0);

    QCOMPARE(plainText(doc), u"before\nwide\ntop\nsecond\na\nb\nafter"_qs); // merged cells join

    // Rows that repeat and rows that differ: each row keeps its own cells'
    // borders and shading.
    const QByteArray plainRow = "\\trowd\\cellx2000\\cellx4000\\pard\\intbl p\\cell q\\cell\\row";
    const QByteArray shadedRow =
        "\\trowd\\clcbpat1\\cellx2000\\clbrdrb\\brdrs\\brdrw20\\cellx4000\\pard\\intbl s\\cell t\\cell\\row";
    const auto striped = read("{\\rtf1\\ansi{\\colortbl;\\red200\\green220\\blue240;}" + shadedRow + plainRow + plainRow
                              + shadedRow + plainRow + "\\pard after\\par}");
    QVERIFY(striped);
    QTextTable *stripes = QTextCursor(striped->document()->find("s")).currentTable();
    QVERIFY(stripes);
    QCOMPARE(stripes->rows(), 5);
    for (int row = 0; row < 5; ++row) {
        const bool shadedOne = row == 0 || row == 3;
        const QTextTableCellFormat first = stripes->cellAt(row, 0).format().toTableCellFormat();
        const QTextTableCellFormat second = stripes->cellAt(row, 1).format().toTableCellFormat();
        QCOMPARE(first.background().style() != Qt::NoBrush, shadedOne);
        QCOMPARE(second.bottomBorder(), shadedOne ? 1.0 : 0.0);
        QCOMPARE(first.bottomBorder(), 0.0);
    }
    QVERIFY(!QTextCursor(doc->find("after")).currentTable());
    QVERIFY(!QTextCursor(doc->find("before")).currentTable());

    // Nested tables are flattened without losing text; a \cell outside any
    // row still makes a cell.
    QCOMPARE(textOf("{\\rtf1 \\trowd\\cellx3000\\pard\\intbl outer\\par"
                    "\\itap2 in1\\nestcell in2\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
                    "\\itap1 end\\cell\\row}"),
             u"\nouter\nin1\nin2\nend\n"_qs); // Qt keeps a block before and after a table
    QCOMPARE(textOf("{\\rtf1 \\trowd \\row AAA \\cell BBB \\cell\\row}"), u"\nAAA \nBBB \n"_qs);
}

void tst_RtfReader::pictures()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    QByteArray png;
    QBuffer pngBuffer(&png);
    pngBuffer.open(QIODevice::WriteOnly);
    image.save(&pngBuffer, "PNG");

    const QByteArray wmf = QByteArray::fromHex("0100090000036c0000000000");
    const auto model = read("{\\rtf1\\ansi "
                            "{\\pict\\pngblip\\picw4\\pich3\\picwgoal1200\\pichgoal600\\picscalex50\\picscaley200 "
                            + png.toHex() + "}"
                            "{\\*\\shppict{\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + " " + png + "}}"
                            "{\\nonshppict{\\pict\\wmetafile8 00}}"
                            "{\\pict\\wmetafile8\\picw2540\\pich1270 " + wmf.toHex() + "}}");
    QVERIFY(model);
    QTextDocument *doc = model->document();
    QList<QTextImageFormat> images;
    for (QTextBlock::iterator it = doc->begin().begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().isImageFormat()) {
            for (int i = 0; i < it.fragment().length(); ++i)
                images.append(it.fragment().charFormat().toImageFormat());
        }
    }
    QCOMPARE(images.size(), 3); // the \nonshppict copy is not shown

    // Goal size in twips, scaled: 60 pt x 30 pt at 50 % and 200 %.
    QCOMPARE(images.at(0).width(), 30.0);
    QCOMPARE(images.at(0).height(), 60.0);
    const QImage decoded = doc->resource(QTextDocument::ImageResource, QUrl(images.at(0).name())).value<QImage>();
    QCOMPARE(decoded.pixelColor(1, 1), QColor(10, 200, 30));
    QCOMPARE(images.at(1).name(), images.at(0).name()); // the same bytes, one resource

    // A metafile becomes a placeholder of its size (2.54 cm x 1.27 cm) and
    // keeps its bytes, which the writer gives back unchanged.
    QCOMPARE(images.at(2).width(), 72.0);
    QCOMPARE(images.at(2).height(), 36.0);
    QCOMPARE(images.at(2).property(ImageOriginalData).toByteArray(), wmf);
    QCOMPARE(images.at(2).stringProperty(ImageOriginalFormat), u"wmf"_qs);
    QVERIFY(!doc->resource(QTextDocument::ImageResource, QUrl(images.at(2).name())).value<QImage>().isNull());
    QVERIFY(write(*model).contains("\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720\r\n" + wmf.toHex()));
}

void tst_RtfReader::hyperlinks()
{
    const auto model = read("{\\rtf1\\ansi see {\\field{\\*\\fldinst {HYPERLINK \"https://example.com/x\"}}"
                            "{\\fldrslt {\\ul\\plain example}}} and "
                            "{\\field{\\*\\fldinst HYPERLINK \\\\l \"part2\"}{\\fldrslt part two}} end}");
    QVERIFY(model);
    const QTextDocument *doc = model->document();
    QCOMPARE(doc->toPlainText(), u"see example and part two end"_qs);
    QVERIFY(formatOf(doc, "example").isAnchor());
    QCOMPARE(formatOf(doc, "example").anchorHref(), u"https://example.com/x"_qs);
    QCOMPARE(formatOf(doc, "part two").anchorHref(), u"#part2"_qs);
    QVERIFY(!formatOf(doc, "end").isAnchor());
}

void tst_RtfReader::hostileInput_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("100,000 nested groups")
        << QByteArray("{\\rtf1 a") + QByteArray(100000, '{') + "b" + QByteArray(100000, '}') + "c}" << u"abc"_qs;
    QTest::newRow("unclosed groups") << QByteArray("{\\rtf1 a{\\b b{\\i c") << u"abc"_qs;
    QTest::newRow("extra closing braces") << QByteArray("{\\rtf1 a}}}b}") << u"ab"_qs;
    QTest::newRow("truncated escape") << QByteArray("{\\rtf1 a\\'8") << u"a"_qs;
    QTest::newRow("bin longer than the data") << QByteArray("{\\rtf1 a{\\pict\\bin999999999 xyz") << u"a"_qs;
    QTest::newRow("huge and negative parameters")
        << QByteArray("{\\rtf1 \\fs99999999999\\li-2147483648{\\uc2147483647}\\cellx99999999999 a\\u99999999?b}")
        << u"ab"_qs;
    QTest::newRow("table words without a table") << QByteArray("{\\rtf1 \\row\\cell\\nestrow a}") << u"\n\na\n"_qs;
    QTest::newRow("row ended by text outside the table")
        << QByteArray("{\\rtf1 \\trowd\\cellx1000\\intbl a\\cell\\pard b\\row c}") << u"\na\nbc"_qs;
    QTest::newRow("leading white space") << QByteArray(" \r\n{\\rtf1 a}") << u"a"_qs;
}

void tst_RtfReader::hostileInput()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(textOf(rtf), expected);
}

void tst_RtfReader::notRtfIsRefused()
{
    QString error;
    QVERIFY(!read("plain text {\\rtf1 later}", &error));
    QVERIFY(error.contains(u"RTF"_qs));
    QVERIFY(!read(QByteArray(), &error));
}

// Programs saved RTF under other names for years: opening such a file by
// its name's format finds the RTF filter by the content.
void tst_RtfReader::rtfUnderAnotherNameOpensAsRtf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.htm"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1\\ansi {\\b bold} text\\par}");
    file.close();
    DocumentModel model;
    const FileOutcome outcome = readDocumentFile(path, 0, 4 /* HTML */, model);
    QVERIFY2(outcome.ok(), qPrintable(outcome.message));
    QCOMPARE(plainText(model.document()), u"bold text"_qs);
    QCOMPARE(formatOf(model.document(), "bold").fontWeight(), int(QFont::Bold));
}

QTEST_MAIN(tst_RtfReader)
#include "tst_RtfReader.moc"
