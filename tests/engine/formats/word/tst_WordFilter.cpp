// The Word filter: documents we write read back with their text and every
// attribute, a second write is byte for byte the first, files that only
// carry a .doc name open with the filter their content needs, and damaged
// or foreign files end in a clear error.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/Sections.h"
#include "engine/TTextEngine.h"
#include "engine/formats/RtfFilter.h"
#include "engine/formats/word/BinaryData.h"
#include "engine/formats/word/CompoundFile.h"
#include "engine/formats/word/WordFilter.h"
#include "engine/formats/word/WordProperties.h"
#include "engine/layout/ListNumbering.h"
#include "support/FilterBytes.h"
#include "support/RichDocumentBuilder.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

QByteArray save(const DocumentModel &model)
{
    return writeWith(WordFilter(), model);
}

bool load(const QByteArray &data, DocumentModel &model, QString *error = nullptr)
{
    return readWith(WordFilter(), data, model, error);
}

ComparisonProfile wordProfile()
{
    ComparisonProfile profile = ComparisonProfile::richText();
    profile.blockProperties << QTextFormat::LineHeight << QTextFormat::TabPositions << ParagraphKeepWithNext
                            << ParagraphPageBreakBefore << ParagraphFrameLineWidth << ParagraphFrameDistance
                            << ParagraphTabLeaders;
    profile.charProperties << QTextFormat::AnchorHref << QTextFormat::IsAnchor << CharUnderlineKind
                           << CharBaselineOffset << CharDoubleStrike << CharHidden << CharDeletedRevision
                           << CharNote << CharEndnote
                           << QTextFormat::FontCapitalization;
    profile.cellProperties << QTextFormat::TableCellTopBorder << QTextFormat::TableCellLeftBorderStyle
                           << QTextFormat::TableCellBottomBorderBrush << TableRowMinimumHeight
                           << TableRowKeepTogether;
    return profile;
}

// What the rich document lacks: links, small capitals, raised text,
// underline kinds Qt cannot tell apart, optional hyphens, tab leaders,
// hidden and deleted text, row height and alignment, notes, the summary.
void buildWordSpecifics(DocumentModel &model)
{
    QTextCursor cursor(model.document());
    QTextCharFormat plain;
    plain.setFontFamilies(QStringList{QStringLiteral("ＭＳ 明朝")});
    plain.setFontPointSize(10.5);
    cursor.setBlockCharFormat(plain);
    cursor.insertText(QStringLiteral("リンク "), plain);
    QTextCharFormat link = plain;
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("https://example.com/a?b=c"));
    cursor.insertText(QStringLiteral("こちら"), link);
    QTextCharFormat local = plain;
    local.setAnchor(true);
    local.setAnchorHref(QStringLiteral("#chapter2"));
    cursor.insertText(QStringLiteral(" 第2章"), local);
    QTextCharFormat caps = plain;
    caps.setFontCapitalization(QFont::SmallCaps);
    cursor.insertText(QStringLiteral("Small Caps"), caps);
    QTextCharFormat raised = plain;
    raised.setProperty(CharBaselineOffset, 6);
    raised.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    cursor.insertText(QStringLiteral("up"), raised);
    QTextCharFormat twice = plain;
    twice.setFontStrikeOut(true);
    twice.setProperty(CharDoubleStrike, true);
    twice.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    twice.setProperty(CharUnderlineKind, int(word::UnderlineKind::Double));
    cursor.insertText(QStringLiteral("二重"), twice);
    cursor.insertText(QStringLiteral(" hyphen\u00ADation"), plain);

    // A table of contents line: a dotted leader to a right tab, a hyphen
    // leader to a centred one.
    QTextBlockFormat leaders;
    leaders.setTabPositions({QTextOption::Tab(120, QTextOption::CenterTab), QTextOption::Tab(400, QTextOption::RightTab)});
    leaders.setProperty(ParagraphTabLeaders, QVariantList{int(word::TabLeader::Hyphens), int(word::TabLeader::Dots)});
    cursor.insertBlock(leaders, plain);
    cursor.insertText(QStringLiteral("第1章\t序\t12"), plain);

    // Hidden text and a tracked deletion stay in the text, marked.
    cursor.insertBlock(QTextBlockFormat(), plain);
    cursor.insertText(QStringLiteral("見える"), plain);
    QTextCharFormat hidden = plain;
    hidden.setProperty(CharHidden, true);
    cursor.insertText(QStringLiteral("隠し文字"), hidden);
    QTextCharFormat deleted = plain;
    deleted.setProperty(CharDeletedRevision, true);
    deleted.setFontStrikeOut(true);
    deleted.setForeground(QColor(0xC0, 0, 0));
    cursor.insertText(QStringLiteral("削除済み"), deleted);

    // A centred table whose rows are at least 0.5 inch high, under a
    // heading row; its second row never splits.
    QTextTableFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    centred.setHeaderRowCount(1);
    QTextTable *table = cursor.insertTable(2, 2, centred);
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            QTextTableCell cell = table->cellAt(row, column);
            QTextTableCellFormat format = cell.format().toTableCellFormat();
            format.setProperty(TableRowMinimumHeight, 720);
            if (row == 1)
                format.setProperty(TableRowKeepTogether, true);
            cell.setFormat(format);
            cell.firstCursorPosition().insertText(QStringLiteral("升%1").arg(2 * row + column), plain);
        }
    }
    cursor.movePosition(QTextCursor::End);

    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    cursor.insertBlock(right, plain);
    cursor.insertText(QStringLiteral("右寄せの最後の段落"), plain);

    // A footnote of two paragraphs and an endnote, kept on their marks.
    QTextCharFormat footnote = plain;
    footnote.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    footnote.setProperty(CharNote, QStringLiteral("脚注の本文\u2029二つ目の段落"));
    cursor.insertText(QStringLiteral("1"), footnote);
    QTextCharFormat endnote = footnote;
    endnote.setProperty(CharNote, QStringLiteral("文末脚注"));
    endnote.setProperty(CharEndnote, true);
    cursor.insertText(QStringLiteral("i"), endnote);

    QTextFrameFormat root = model.document()->rootFrame()->frameFormat();
    root.setProperty(DocumentDefaultTabStop, 840); // tab stops every 1.5 cm
    model.document()->rootFrame()->setFrameFormat(root);

    model.document()->setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("お知らせ"));
    model.setSourceProperty(QStringLiteral("document/author"), QStringLiteral("山田 花子"));
    model.setSourceProperty(QStringLiteral("document/keywords"), QStringLiteral("案内, 会議"));
}

} // namespace

class tst_WordFilter : public QObject
{
    Q_OBJECT

private slots:
    void richDocumentSurvivesWriteAndRead();
    void wordSpecificsSurviveWriteAndRead();
    void listsSurviveWriteAndRead();
    void indentsInCharactersBecomeLengths();
    void tablesInCellsStayTables();
    void sectionsKeepTheirPagesAndColumns();
    void writtenFileIsAWordDocument();
    void rtfKeepsTabLeadersToo();
    void linesBeforeManualBreaksStretchAsTheFileSays();
    void word95JapaneseTextReads();
    void contentDecidesTheFilter_data();
    void contentDecidesTheFilter();
    void foreignAndDamagedFilesAreRefusedClearly();
};

void tst_WordFilter::richDocumentSurvivesWriteAndRead()
{
    DocumentModel original;
    RichDocumentBuilder(QString(), RichDocumentBuilder::ParagraphFrames | RichDocumentBuilder::Lists).build(original);
    DocumentModel reloaded;
    QString error;
    QVERIFY2(load(save(original), reloaded, &error), qPrintable(error));
    const QString difference = firstDifference(original, reloaded, wordProfile());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(reloaded.pageSetup(), original.pageSetup());

    // A second generation is byte for byte the first.
    DocumentModel third;
    QVERIFY(load(save(reloaded), third));
    const QByteArray second = save(reloaded);
    const QByteArray again = save(third);
    qsizetype at = 0;
    while (at < std::min(second.size(), again.size()) && second.at(at) == again.at(at))
        ++at;
    QCOMPARE(third.document()->toPlainText(), reloaded.document()->toPlainText());
    QVERIFY2(second == again, qPrintable(QStringLiteral("first difference at byte %1 of %2").arg(at).arg(second.size())));
}

void tst_WordFilter::wordSpecificsSurviveWriteAndRead()
{
    DocumentModel original;
    buildWordSpecifics(original);
    DocumentModel reloaded;
    QString error;
    QVERIFY2(load(save(original), reloaded, &error), qPrintable(error));
    const QString difference = firstDifference(original, reloaded, wordProfile());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    const QTextTable *table = nullptr;
    for (QTextBlock block = reloaded.document()->begin(); block.isValid() && !table; block = block.next())
        table = QTextCursor(block).currentTable();
    QVERIFY(table);
    QCOMPARE(table->format().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(table->format().headerRowCount(), 1);
    QCOMPARE(reloaded.document()->metaInformation(QTextDocument::DocumentTitle), QStringLiteral("お知らせ"));
    QCOMPARE(reloaded.document()->rootFrame()->frameFormat().intProperty(DocumentDefaultTabStop), 840);
    for (const QString key : {QStringLiteral("document/author"), QStringLiteral("document/keywords")})
        QCOMPARE(reloaded.sourceProperty(key), original.sourceProperty(key));
}

// An outline as Japanese documents number them: levels restart below a
// higher item, a level that starts at 3, brackets around letters, a
// bullet of its own, and a second list that counts apart from the first.
void tst_WordFilter::listsSurviveWriteAndRead()
{
    DocumentModel original;
    QTextCursor cursor(original.document());
    auto level = [](int group, int indent, QTextListFormat::Style style, const QString &prefix, const QString &suffix) {
        QTextListFormat format;
        format.setStyle(style);
        format.setIndent(indent);
        format.setProperty(ListGroup, group);
        format.setNumberPrefix(prefix);
        format.setNumberSuffix(suffix);
        return format;
    };
    QTextListFormat chapters = level(1, 1, QTextListFormat::ListUpperRoman, QString(), QStringLiteral("."));
    QTextListFormat items = level(1, 2, QTextListFormat::ListLowerAlpha, QStringLiteral("("), QStringLiteral(")"));
    QTextListFormat notes = level(2, 1, QTextListFormat::ListDecimal, QString(), QStringLiteral("）"));
    notes.setProperty(ListStartAt, 3);
    QTextListFormat marks = level(2, 2, QTextListFormat::ListDisc, QString(), QString());
    marks.setProperty(ListBulletText, QStringLiteral("※"));
    const QList<std::pair<QTextListFormat, QString>> paragraphs = {
        {chapters, QStringLiteral("総則")}, {items, QStringLiteral("目的")}, {items, QStringLiteral("定義")},
        {chapters, QStringLiteral("会員")}, {items, QStringLiteral("資格")}, {notes, QStringLiteral("注記")},
        {marks, QStringLiteral("補足")}, {notes, QStringLiteral("次の注記")}, {{}, QStringLiteral("本文")},
    };
    QTextCharFormat plain;
    plain.setFontFamilies(QStringList{QStringLiteral("ＭＳ 明朝")});
    plain.setFontPointSize(10.5);
    cursor.setBlockCharFormat(plain);
    QHash<QString, QTextList *> made;
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i)
            cursor.insertBlock(QTextBlockFormat(), plain);
        cursor.insertText(paragraphs.at(i).second, plain);
        const QTextListFormat &format = paragraphs.at(i).first;
        if (!format.hasProperty(ListGroup))
            continue;
        const QString key = QStringLiteral("%1/%2").arg(format.intProperty(ListGroup)).arg(format.indent());
        if (QTextList *list = made.value(key))
            list->add(cursor.block());
        else
            made.insert(key, cursor.createList(format));
    }
    auto labels = [](const DocumentModel &model) {
        QStringList shown;
        for (QTextBlock block = model.document()->begin(); block.isValid(); block = block.next())
            shown << ListNumbering::itemText(block) + block.text();
        return shown;
    };
    const QStringList expected = {QStringLiteral("I.総則"), QStringLiteral("(a)目的"), QStringLiteral("(b)定義"),
                                  QStringLiteral("II.会員"), QStringLiteral("(a)資格"), QStringLiteral("3）注記"),
                                  QStringLiteral("※補足"), QStringLiteral("4）次の注記"), QStringLiteral("本文")};
    QCOMPARE(labels(original), expected);
    DocumentModel reloaded;
    QString error;
    QVERIFY2(load(save(original), reloaded, &error), qPrintable(error));
    QCOMPARE(labels(reloaded), expected);
    const QString difference = firstDifference(original, reloaded, wordProfile());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// Japanese documents give indents in hundredths of a character: a hanging
// paragraph 5 characters in whose first line hangs 6 characters out. The
// file is ours with the two length sprms turned into character ones of
// the same size.
void tst_WordFilter::indentsInCharactersBecomeLengths()
{
    DocumentModel model;
    QTextBlockFormat hanging;
    hanging.setLeftMargin(100 / 20.0);
    hanging.setTextIndent(-50 / 20.0);
    QTextCursor(model.document()).setBlockFormat(hanging);
    QTextCursor(model.document()).insertText(QStringLiteral("１、日本人：専門の先生"));
    word::CompoundFileReader storage;
    QVERIFY(storage.open(save(model), nullptr));
    QByteArray stream, table;
    QVERIFY(storage.readStream(QStringLiteral("WordDocument"), &stream, nullptr));
    QVERIFY(storage.readStream(QStringLiteral("1Table"), &table, nullptr));
    const QByteArray left("\x0F\x84\x64\x00", 4), first("\x11\x84\xCE\xFF", 4);
    QCOMPARE(stream.count(left), 1);
    QCOMPARE(stream.count(first), 1);
    stream.replace(left, QByteArray("\x56\x44\xF4\x01", 4));  // 500 hundredths
    stream.replace(first, QByteArray("\x57\x44\xA8\xFD", 4)); // -600 hundredths
    word::CompoundFileWriter patched;
    patched.addStream(QStringLiteral("WordDocument"), stream);
    patched.addStream(QStringLiteral("1Table"), table);
    DocumentModel reloaded;
    QString error;
    QVERIFY2(load(patched.write(), reloaded, &error), qPrintable(error));
    // Characters of the Normal style's 10 points: 200 twips each.
    const QTextBlockFormat format = reloaded.document()->begin().blockFormat();
    QCOMPARE(qRound(format.leftMargin() * 20), 11 * 200);
    QCOMPARE(qRound(format.textIndent() * 20), -6 * 200);
}

// A table inside a cell, between paragraphs of that cell, with a table
// inside one of its own cells: each stays a table at its depth.
void tst_WordFilter::tablesInCellsStayTables()
{
    DocumentModel original;
    QTextCharFormat mincho;
    mincho.setFontFamilies({QStringLiteral("ＭＳ 明朝")});
    mincho.setFontPointSize(10.5);
    auto put = [&](QTextCursor at, const QString &text) { at.insertText(text, mincho); };
    QTextCursor cursor(original.document());
    QTextTable *outer = cursor.insertTable(2, 2);
    cursor = outer->cellAt(0, 1).firstCursorPosition();
    put(cursor, QStringLiteral("外側の前"));
    cursor.movePosition(QTextCursor::EndOfBlock);
    QTextTable *inner = cursor.insertTable(2, 2);
    put(inner->cellAt(0, 0).firstCursorPosition(), QStringLiteral("内側"));
    put(inner->cellAt(1, 1).firstCursorPosition().insertTable(1, 2)->cellAt(0, 1).firstCursorPosition(),
        QStringLiteral("最も内側"));
    put(inner->cellAt(1, 0).firstCursorPosition(), QStringLiteral("下"));
    put(outer->cellAt(0, 1).lastCursorPosition(), QStringLiteral("外側の後"));
    put(outer->cellAt(1, 0).firstCursorPosition(), QStringLiteral("次の行"));

    DocumentModel reloaded;
    QString error;
    const QByteArray written = save(original);
    QVERIFY2(load(written, reloaded, &error), qPrintable(error));
    const QString difference = firstDifference(original, reloaded, wordProfile());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    DocumentModel third;
    QVERIFY(load(save(reloaded), third));
    QVERIFY(save(third) == save(reloaded));

    auto depthOf = [&](const QString &text) {
        const QTextBlock block = reloaded.document()->find(text).block();
        int depth = 0;
        for (QTextFrame *frame = QTextCursor(block).currentFrame(); frame; frame = frame->parentFrame())
            depth += qobject_cast<QTextTable *>(frame) != nullptr;
        return depth;
    };
    QCOMPARE(depthOf(QStringLiteral("外側の後")), 1);
    QCOMPARE(depthOf(QStringLiteral("内側")), 2);
    QCOMPARE(depthOf(QStringLiteral("最も内側")), 3);
    QCOMPARE(depthOf(QStringLiteral("次の行")), 1);
}

// Each section keeps how it starts, its paper, margins and columns: two
// equal columns, then a landscape page of one column after a table, then
// three columns of their own widths on the same page.
void tst_WordFilter::sectionsKeepTheirPagesAndColumns()
{
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg932\\paperw11906\\paperh16838\\margl1134\\margr1134"
                           "\\sectd\\cols2\\colsx567 {\\u19968 ?}\\par"
                           "\\trowd\\cellx3000\\pard\\intbl cell\\cell\\row\\pard\\sect"
                           "\\sectd\\lndscpsxn\\pgwsxn16838\\pghsxn11906\\margtsxn720 {\\u20108 ?}\\sect"
                           "\\sectd\\sbknone\\cols3\\linebetcol\\colno1\\colw2000\\colsr300\\colno2\\colw3000"
                           "\\colsr400\\colno3\\colw2338 {\\u19977 ?}\\par}";
    DocumentModel original;
    QVERIFY(readWith(RtfFilter(), rtf, original, nullptr));
    DocumentModel reloaded;
    QString error;
    QVERIFY2(load(save(original), reloaded, &error), qPrintable(error));
    QCOMPARE(reloaded.document()->toPlainText(), original.document()->toPlainText());
    QCOMPARE(reloaded.pageSetup(), original.pageSetup());
    QCOMPARE(sections::firstColumns(reloaded.document()), sections::firstColumns(original.document()));
    QCOMPARE(sections::firstColumns(reloaded.document()).count, 2);
    QList<SectionSetup> expected, actual;
    for (QTextBlock block = original.document()->begin(); block.isValid(); block = block.next()) {
        if (const auto setup = sections::startingAt(block))
            expected << *setup;
    }
    for (QTextBlock block = reloaded.document()->begin(); block.isValid(); block = block.next()) {
        if (const auto setup = sections::startingAt(block))
            actual << *setup;
    }
    QCOMPARE(expected.size(), 2);
    QVERIFY(actual == expected);
    QCOMPARE(actual.at(1).start, SectionStart::Continuous);
    QCOMPARE(actual.at(1).columns.widths, QList<int>({2000, 3000, 2338}));
}

// The structures other readers rely on: a compound file with the
// WordDocument and 1Table streams, a Word 97 FIB, the text as 16-bit
// characters, ending in a paragraph mark.
void tst_WordFilter::writtenFileIsAWordDocument()
{
    DocumentModel model;
    QTextCursor(model.document()).insertText(QStringLiteral("日本語 text"));
    const QByteArray file = save(model);
    word::CompoundFileReader storage;
    QString error;
    QVERIFY2(storage.open(file, &error), qPrintable(error));
    QByteArray stream;
    QVERIFY(storage.readStream(QStringLiteral("WordDocument"), &stream, &error));
    QVERIFY(storage.hasStream(QStringLiteral("1Table")));
    const word::ByteReader fib(stream);
    QCOMPARE(fib.u16(0), quint16(0xA5EC));
    QCOMPARE(fib.u16(2), quint16(0x00C1));
    QVERIFY(storage.hasStream(QStringLiteral("\u0005SummaryInformation")));
    QVERIFY(storage.hasStream(QStringLiteral("\u0005DocumentSummaryInformation")));
    QVERIFY(fib.u16(0x0A) & 0x0200); // 1Table
    QCOMPARE(fib.u32(0x4C), quint32(9)); // ccpText: eight characters and the paragraph mark
    QCOMPARE(fib.u16(1024), quint16(u'日'));
    QCOMPARE(fib.u16(1024 + 2 * 8), quint16(0x0D));
}

// Tab leaders belong to the vocabulary both formats share.
void tst_WordFilter::rtfKeepsTabLeadersToo()
{
    DocumentModel original;
    QTextBlockFormat format;
    format.setTabPositions({QTextOption::Tab(100, QTextOption::LeftTab), QTextOption::Tab(300, QTextOption::RightTab)});
    const QVariantList leaders{int(word::TabLeader::Underline), int(word::TabLeader::MiddleDots)};
    format.setProperty(ParagraphTabLeaders, leaders);
    QTextCursor(original.document()).setBlockFormat(format);
    QTextCursor(original.document()).insertText(QStringLiteral("氏名\t\t印"));
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QVERIFY(RtfFilter().write(buffer, original, {}, nullptr));
    buffer.seek(0);
    DocumentModel reloaded;
    QVERIFY(RtfFilter().read(buffer, reloaded, {}, nullptr));
    QCOMPARE(reloaded.document()->begin().blockFormat().property(ParagraphTabLeaders).toList(), leaders);
}

// A Word 95 file as Japanese Word 95 saved it in full: a fixed FIB, then
// the text as Shift-JIS bytes, where a kanji takes two text positions.
namespace {

// Where the first line of the document's first paragraph ends, against the
// width it may take.
qreal firstLineEndShare(const QTextDocument *document)
{
    const QTextLine line = document->firstBlock().layout()->lineAt(0);
    return line.cursorToX(line.textStart() + line.textLength() - 1) / line.width();
}

} // namespace

// A justified line that ends in a manual line break fills its width unless
// the Word file says otherwise (as many Japanese forms do): then it keeps its
// natural width, and keeps it through our own .doc.
void tst_WordFilter::linesBeforeManualBreaksStretchAsTheFileSays()
{
    QTemporaryDir dir;
    for (const bool plain : {false, true}) {
        DocumentModel original;
        QTextCursor cursor(original.document());
        QTextBlockFormat justified;
        justified.setAlignment(Qt::AlignJustify);
        cursor.setBlockFormat(justified);
        cursor.insertText(QStringLiteral("姓名") + QChar::LineSeparator
                          + QStringLiteral("one two three four five six seven eight nine ten eleven twelve"));
        if (plain) {
            QTextFrameFormat root = original.document()->rootFrame()->frameFormat();
            root.setProperty(DocumentPlainLinesBeforeBreaks, true);
            original.document()->rootFrame()->setFrameFormat(root);
        }
        const QString path = writeFile(dir, plain ? QStringLiteral("plain.doc") : QStringLiteral("stretched.doc"),
                                       save(original));
        TTextEngine engine;
        QCOMPARE(engine.LoadDocument(path, 0, FormatCode::Word, 0), 0);
        QCOMPARE(engine.document()->rootFrame()->frameFormat().boolProperty(DocumentPlainLinesBeforeBreaks), plain);
        const qreal share = firstLineEndShare(engine.document());
        QVERIFY2(plain ? share < 0.3 : share > 0.95, qPrintable(QString::number(share)));
    }

    // A Japanese questionnaire from the corpus asks for plain lines.
    const QString questionnaire = sharedDir() + QStringLiteral("/corpus/doc/libscan_japanese.doc");
    if (sharedDir().isEmpty() || !QFileInfo::exists(questionnaire))
        return;
    TTextEngine engine;
    QCOMPARE(engine.LoadDocument(questionnaire, 0, FormatCode::Word, 0), 0);
    QVERIFY(engine.document()->rootFrame()->frameFormat().boolProperty(DocumentPlainLinesBeforeBreaks));
}

void tst_WordFilter::word95JapaneseTextReads()
{
    const QString expected = QStringLiteral("日本語の文書です。\nｶﾅと ASCII\n");
    QByteArray text = QStringEncoder("Shift_JIS").encode(QString(expected).replace(QLatin1Char('\n'), QLatin1Char('\r')));
    QByteArray stream(0x200, '\0');
    word::putU16(stream, 0x00, 0xA5DC); // Word 6 and 95
    word::putU16(stream, 0x02, 104);    // Word 95
    word::putU16(stream, 0x06, 0x0411); // Japanese
    word::putU32(stream, 0x18, 0x200);  // the text starts here
    word::putU32(stream, 0x1C, quint32(0x200 + text.size()));
    word::putU32(stream, 0x34, quint32(text.size())); // positions: bytes
    stream.append(text);
    stream.append(QByteArray(4096, '\0'));
    word::CompoundFileWriter storage;
    storage.addStream(QStringLiteral("WordDocument"), stream);
    DocumentModel model;
    QString error;
    QVERIFY2(load(storage.write(), model, &error), qPrintable(error));
    QCOMPARE(model.document()->toPlainText() + QLatin1Char('\n'), expected);

    // Versions before Word 6 are refused by name.
    word::putU16(stream, 0x02, 45);
    word::CompoundFileWriter older;
    older.addStream(QStringLiteral("WordDocument"), stream);
    QVERIFY(!load(older.write(), model, &error));
    QVERIFY2(error.contains(QLatin1String("before Word 6")), qPrintable(error));
}

// Word saved RTF under .doc names for years; HTML and text turn up too.
void tst_WordFilter::contentDecidesTheFilter_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");
    QTest::newRow("RTF") << QByteArray("{\\rtf1\\ansi {\\b RTF} named doc\\par}") << QStringLiteral("RTF named doc");
    QTest::newRow("HTML") << QByteArray("<html><body><p>HTML <b>named</b> doc</p></body></html>")
                          << QStringLiteral("HTML named doc");
    QTest::newRow("text") << QByteArray("plain text named doc\n") << QStringLiteral("plain text named doc");
}

void tst_WordFilter::contentDecidesTheFilter()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("letter.doc"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    TTextEngine engine;
    QCOMPARE(engine.LoadDocument(path, 0, FormatCode::Word, 0), 0);
    QCOMPARE(engine.document()->toPlainText().trimmed(), text);
}

void tst_WordFilter::foreignAndDamagedFilesAreRefusedClearly()
{
    struct Case
    {
        QByteArray data;
        QString says;
    };
    DocumentModel model;
    QTextCursor(model.document()).insertText(QStringLiteral("本文"));
    const QByteArray good = save(model);
    QList<Case> cases = {
        {QByteArray("\xDB\xA5\x2D\x00", 4) + QByteArray(200, 'x'), QStringLiteral("Word 2")},
        {QByteArray("\xFFWPC") + QByteArray(200, '\0'), QStringLiteral("WordPerfect")},
        {QByteArray("<?xml version=\"1.0\"?><w:wordDocument xmlns:w=\"x\"/>"), QStringLiteral("Word XML")},
        {good.left(good.size() - 700), QString()},
        {good.left(600), QString()},
    };
    // Encryption is a flag of the FIB: the file says it is password protected.
    {
        word::CompoundFileReader storage;
        QVERIFY(storage.open(good, nullptr));
        QByteArray stream, table;
        QVERIFY(storage.readStream(QStringLiteral("WordDocument"), &stream, nullptr));
        QVERIFY(storage.readStream(QStringLiteral("1Table"), &table, nullptr));
        word::putU16(stream, 0x0A, word::ByteReader(stream).u16(0x0A) | 0x0100);
        word::CompoundFileWriter writer;
        writer.addStream(QStringLiteral("WordDocument"), stream);
        writer.addStream(QStringLiteral("1Table"), table);
        cases.append({writer.write(), QStringLiteral("password")});
    }
    for (const Case &c : cases) {
        DocumentModel target;
        QString error;
        QVERIFY(!load(c.data, target, &error));
        QVERIFY2(!error.isEmpty() && error.contains(c.says), qPrintable(error));
        QVERIFY(target.document()->isEmpty());
    }

    // Random damage inside a real file: read or refused, never a crash.
    QRandomGenerator random(14);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = good;
        for (int hits = 0; hits < 8; ++hits)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        DocumentModel target;
        load(damaged, target);
    }
}

QTEST_MAIN(tst_WordFilter)
#include "tst_WordFilter.moc"
