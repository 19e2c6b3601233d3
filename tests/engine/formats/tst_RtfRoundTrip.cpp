// Documents written as RTF and read back keep their text and every
// attribute RTF can carry; what we write stays within what readers accept.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/RtfControlWords.h"
#include "engine/formats/RtfFilter.h"
#include "engine/formats/RtfTokenizer.h"
#include "support/FilterBytes.h"
#include "support/RichDocumentBuilder.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

QByteArray save(const DocumentModel &model)
{
    return writeWith(RtfFilter(), model);
}

bool load(const QByteArray &data, DocumentModel &model)
{
    return readWith(RtfFilter(), data, model);
}

ComparisonProfile rtfProfile()
{
    ComparisonProfile profile = ComparisonProfile::richText();
    profile.blockProperties << QTextFormat::LineHeight << QTextFormat::TabPositions << ParagraphFrameStyle
                            << ParagraphFrameLineWidth << ParagraphFrameDistance << ParagraphKeepWithNext
                            << ParagraphPageBreakBefore;
    profile.charProperties << QTextFormat::AnchorHref << QTextFormat::IsAnchor << CharUnderlineKind
                           << CharBaselineOffset << CharDoubleStrike;
    profile.cellProperties << QTextFormat::TableCellTopBorder << QTextFormat::TableCellLeftBorderStyle
                           << QTextFormat::TableCellBottomBorderBrush;
    return profile;
}

// What the rich document builder does not use: links, the underline kinds
// Qt cannot tell apart, raised text, double strike, decimal tabs, borders on
// cells, a run of symbols and characters outside Shift-JIS.
void buildRtfSpecifics(DocumentModel &model)
{
    QTextCursor cursor(model.document());
    QTextCharFormat plain;
    plain.setFontFamilies(QStringList{QStringLiteral("Arial")});
    plain.setFontPointSize(11);
    cursor.setBlockCharFormat(plain);

    QTextCharFormat link = plain;
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("https://example.com/a?b=c\\d"));
    cursor.insertText(QStringLiteral("Link "), plain);
    cursor.insertText(QStringLiteral("here"), link);
    link.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral(" and bold"), link);
    QTextCharFormat local = plain;
    local.setAnchor(true);
    local.setAnchorHref(QStringLiteral("#chapter2"));
    cursor.insertText(QStringLiteral("local"), local);

    QTextCharFormat f = plain;
    f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    f.setProperty(CharUnderlineKind, int(rtf::UnderlineKind::Double));
    cursor.insertText(QStringLiteral("double"), f);
    f = plain;
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    f.setProperty(CharBaselineOffset, 6);
    cursor.insertText(QStringLiteral("raised"), f);
    f = plain;
    f.setFontStrikeOut(true);
    f.setProperty(CharDoubleStrike, true);
    cursor.insertText(QStringLiteral("struck"), f);
    cursor.insertText(QStringLiteral("{braces} \\back\\ tab\there\u00A0nbsp\u00ADsoft\u2014dash "
                                     "\U0001F600 é ü 한국어 简体"),
                      plain);

    QTextBlockFormat block;
    block.setTabPositions({QTextOption::Tab(100, QTextOption::DelimiterTab, QLatin1Char('.'))});
    block.setProperty(ParagraphKeepWithNext, true);
    block.setProperty(ParagraphFrameStyle, 0x04 | 0x08 | 0x10 | 0x20 | 0x80 | 0x100 | 0x200);
    block.setProperty(ParagraphFrameLineWidth, 20);
    block.setProperty(ParagraphFrameDistance, 0);
    block.setLineHeight(15, QTextBlockFormat::MinimumHeight);
    cursor.insertBlock(block, plain);
    cursor.insertText(QStringLiteral("12.5\tdecimal"), plain);

    cursor.insertBlock(QTextBlockFormat(), plain);
    QTextTable *table = cursor.insertTable(2, 2);
    QTextTableCellFormat cell;
    cell.setTopBorder(1.5);
    cell.setTopBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    cell.setTopBorderBrush(Qt::black);
    cell.setLeftBorder(0.5);
    cell.setLeftBorderStyle(QTextFrameFormat::BorderStyle_Double);
    cell.setLeftBorderBrush(Qt::black);
    cell.setBottomBorder(1);
    cell.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    cell.setBottomBorderBrush(QColor(0, 0, 255));
    for (int i = 0; i < 4; ++i) {
        table->cellAt(i / 2, i % 2).setFormat(cell);
        QTextCursor c = table->cellAt(i / 2, i % 2).firstCursorPosition();
        c.insertText(QString::number(i), plain);
        if (i == 3) {
            c.insertBlock();
            c.insertText(QStringLiteral("second paragraph in a cell"), plain);
        }
    }
}

} // namespace

class tst_RtfRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void richDocumentSurvivesWriteAndRead();
    void rtfSpecificsSurviveWriteAndRead();
    void everyParagraphEndsWithPar();
    void writtenRtfUsesOnlyWordsTheReaderKnows();
    void insertingRtfIsOneUndoStep();
    void floatingFrameTextFlowsInPlace();
};

void tst_RtfRoundTrip::richDocumentSurvivesWriteAndRead()
{
    DocumentModel original;
    RichDocumentBuilder(QString(), RichDocumentBuilder::ParagraphFrames).build(original);
    DocumentModel reloaded;
    QVERIFY(load(save(original), reloaded));
    const QString difference = firstDifference(original, reloaded, rtfProfile());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // A second generation is byte for byte the first.
    DocumentModel third;
    QVERIFY(load(save(reloaded), third));
    QCOMPARE(save(third), save(reloaded));
}

void tst_RtfRoundTrip::rtfSpecificsSurviveWriteAndRead()
{
    DocumentModel original;
    buildRtfSpecifics(original);
    DocumentModel reloaded;
    QVERIFY(load(save(original), reloaded));
    const QString difference = firstDifference(original, reloaded, rtfProfile());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// Other readers drop the properties of a paragraph that no \\par ends, so
// the last paragraph gets its \\par like every other; reading it back adds
// no empty paragraph.
void tst_RtfRoundTrip::everyParagraphEndsWithPar()
{
    DocumentModel original;
    QTextCursor cursor(original.document());
    cursor.insertText(QStringLiteral("left"));
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    cursor.insertBlock(right);
    cursor.insertText(QStringLiteral("右寄せ"));
    const QByteArray rtf = save(original);

    int parCount = 0;
    QByteArray lastWord;
    rtf::Tokenizer tokenizer(rtf);
    for (rtf::Token token = tokenizer.next(); token.type != rtf::Token::End; token = tokenizer.next()) {
        if (token.type == rtf::Token::ControlWord) {
            lastWord = token.name.toByteArray();
            parCount += lastWord == "par";
        } else if (token.type == rtf::Token::Text && !token.bytes.trimmed().isEmpty()) {
            lastWord.clear();
        }
    }
    QCOMPARE(parCount, 2);
    QCOMPARE(lastWord, QByteArray("par"));

    DocumentModel reloaded;
    QVERIFY(load(rtf, reloaded));
    QCOMPARE(reloaded.document()->blockCount(), 2);
    QCOMPARE(reloaded.document()->lastBlock().blockFormat().alignment(), Qt::AlignRight);
}

// Every control word we write is in the shared table, so our own reader
// understands all of it; every line stays under 255 characters; non-ASCII
// text carries a Shift-JIS fallback where Shift-JIS has the character.
void tst_RtfRoundTrip::writtenRtfUsesOnlyWordsTheReaderKnows()
{
    DocumentModel model;
    RichDocumentBuilder(QString(), RichDocumentBuilder::ParagraphFrames).build(model);
    const QByteArray rtf = save(model);

    for (const QByteArray &line : rtf.split('\n'))
        QVERIFY2(line.size() <= 255, line.left(80).constData());

    rtf::Tokenizer tokenizer(rtf);
    QSet<QByteArray> unknown;
    for (rtf::Token token = tokenizer.next(); token.type != rtf::Token::End; token = tokenizer.next()) {
        if (token.type == rtf::Token::ControlWord && !rtf::findControlWord(token.name))
            unknown.insert(token.name.toByteArray());
    }
    QVERIFY2(unknown.isEmpty(), qPrintable(QStringList(unknown.begin(), unknown.end()).join(u' ')));

    // 吾 is 0x8CE1 in Shift-JIS: \u21566 followed by its two fallback bytes.
    QVERIFY(rtf.contains("\\uc2"));
    QVERIFY(rtf.contains("\\u21566\\'8c\\'e1"));
}

void tst_RtfRoundTrip::insertingRtfIsOneUndoStep()
{
    QTextDocument document;
    QTextCursor cursor(&document);
    cursor.insertText(QStringLiteral("before after"));
    document.clearUndoRedoStacks();

    cursor.setPosition(7);
    QBuffer clip;
    clip.setData("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 one {\\b two}\\par three }");
    clip.open(QIODevice::ReadOnly);
    QString error;
    QVERIFY(readRtfInto(clip, cursor, &error));
    QCOMPARE(document.toPlainText(), QStringLiteral("before one two\nthree after"));
    document.undo();
    QCOMPARE(document.toPlainText(), QStringLiteral("before after"));

    // Not RTF: refused, nothing changed.
    QBuffer notRtf;
    notRtf.setData("plain text");
    notRtf.open(QIODevice::ReadOnly);
    QVERIFY(!readRtfInto(notRtf, cursor, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(document.toPlainText(), QStringLiteral("before after"));
}

// RTF has no floating frames of ours: their text becomes ordinary
// paragraphs where the frame stood, never table cells.
void tst_RtfRoundTrip::floatingFrameTextFlowsInPlace()
{
    DocumentModel original;
    RichDocumentBuilder(QString(), RichDocumentBuilder::FloatingFrame).build(original);
    DocumentModel reloaded;
    QVERIFY(load(save(original), reloaded));
    const QTextCursor found = reloaded.document()->find(QStringLiteral("枠の中の文章"));
    QVERIFY(!found.isNull());
    QVERIFY(!found.currentTable());
    QCOMPARE(found.currentFrame(), reloaded.document()->rootFrame());
}

QTEST_MAIN(tst_RtfRoundTrip)
#include "tst_RtfRoundTrip.moc"
