// Every .doc file of the shared corpus (written by other programs) is read;
// the text of the well-formed ones must match what another word processor
// extracted from them, and the odd ones (old versions, other formats,
// encrypted, fuzzed) end in a clear error or a correct read. Headers and
// footers are read beside the body and survive our own write and read.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/word/WordFilter.h"
#include "engine/layout/ListNumbering.h"
#include "support/FilterBytes.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

bool load(const QByteArray &data, DocumentModel &model, QString *error)
{
    return readWith(WordFilter(), data, model, error);
}

// The text as the user sees it: list numbers included, a line each
// paragraph (table cells too, as the reference has them).
QString plainText(const DocumentModel &model)
{
    QStringList lines;
    for (QTextBlock block = model.document()->begin(); block.isValid(); block = block.next()) {
        const QString label = ListNumbering::itemText(block);
        lines << (label.isEmpty() ? block.text() : label + QLatin1Char(' ') + block.text());
    }
    return lines.join(QLatin1Char('\n'));
}

QByteArray save(const DocumentModel &model)
{
    return writeWith(WordFilter(), model);
}

// The reference keeps a symbol font's glyph as its private-area code
// (U+F0D3 in Symbol); we show the character the glyph stands for ("©"),
// so a private-area character of the reference matches any one of ours.
bool sameText(const QString &ours, const QString &reference)
{
    if (ours.size() != reference.size())
        return false;
    for (qsizetype i = 0; i < ours.size(); ++i) {
        const char16_t expected = reference.at(i).unicode();
        if (ours.at(i) != reference.at(i) && !(expected >= 0xE000 && expected <= 0xF8FF))
            return false;
    }
    return true;
}

// Every header and footer with the pages it serves, and the two switches.
QString storiesOf(const HeaderFooterSet &set)
{
    QString result = QStringLiteral("first:%1 even:%2").arg(set.differentFirstPage()).arg(set.differentEvenPages());
    for (const HeaderFooterKind kind : {HeaderFooterKind::Header, HeaderFooterKind::Footer}) {
        for (const HeaderFooterPages pages : {HeaderFooterPages::Default, HeaderFooterPages::First, HeaderFooterPages::Even}) {
            if (const QTextDocument *story = set.story(kind, pages))
                result += QStringLiteral(" [%1/%2] %3").arg(int(kind)).arg(int(pages)).arg(story->toPlainText());
        }
    }
    return result;
}

} // namespace

class tst_WordCorpus : public QObject
{
    Q_OBJECT

private slots:
    void everyFileMatchesItsReferenceText();
    void headersFootersAndNotesAreRead();
};

void tst_WordCorpus::everyFileMatchesItsReferenceText()
{
    TAMAPIKO_REQUIRE_SHARED(corpus, "corpus/doc");
    const QFileInfoList files = QDir(corpus).entryInfoList({QStringLiteral("*.doc")}, QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());

    int compared = 0;
    int matched = 0;
    QStringList roundTripLosses;
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        const bool odd = info.fileName().startsWith(QLatin1String("odd_"));

        QElapsedTimer timer;
        timer.start();
        DocumentModel model;
        QString error;
        const bool ok = load(data, model, &error);
        const QString text = normalisedCorpusText(plainText(model));
        if (!ok) {
            QVERIFY2(!error.isEmpty(), qPrintable(info.fileName()));
            qInfo("%-60s refused: %s", qPrintable(info.fileName()), qPrintable(error));
            if (!odd)
                ++compared;
            continue;
        }

        // Written and read back, the text must survive.
        DocumentModel reloaded;
        QVERIFY2(load(save(model), reloaded, &error), qPrintable(info.fileName() + QLatin1String(": ") + error));
        if (normalisedCorpusText(plainText(reloaded)) != text)
            roundTripLosses.append(info.fileName());
        if (storiesOf(reloaded.headerFooters()) != storiesOf(model.headerFooters())) {
            roundTripLosses.append(info.fileName());
            qInfo("%s: headers and footers were \"%s\", read back \"%s\"", qPrintable(info.fileName()),
                  qPrintable(storiesOf(model.headerFooters())), qPrintable(storiesOf(reloaded.headerFooters())));
        }

        const QString refPath = info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1String(".ref.txt");
        if (!QFileInfo::exists(refPath)) {
            qInfo("%-60s no reference; read in %lld ms", qPrintable(info.fileName()), timer.elapsed());
            continue;
        }
        QFile ref(refPath);
        QVERIFY(ref.open(QIODevice::ReadOnly));
        const QString expected = normalisedCorpusText(QString::fromUtf8(ref.readAll()));
        const bool same = sameText(text, expected);
        if (!odd) {
            ++compared;
            matched += same ? 1 : 0;
        }
        if (same) {
            qInfo("%-60s match (%lld chars, %lld ms)", qPrintable(info.fileName()), qsizetype(text.size()),
                  timer.elapsed());
        } else {
            const int at = firstTextDifference(text, expected);
            qInfo("%-60s MISS at %d of %lld: ours \"%s\" reference \"%s\"", qPrintable(info.fileName()), at,
                  qsizetype(expected.size()), qPrintable(text.mid(std::max(0, at - 10), 40)),
                  qPrintable(expected.mid(std::max(0, at - 10), 40)));
        }
    }
    qInfo("%d of %d well-formed files match their reference text", matched, compared);
    QVERIFY2(roundTripLosses.isEmpty(), qPrintable(QLatin1String("text changed by write and read: ")
                                                   + roundTripLosses.join(QLatin1String(", "))));
    QVERIFY2(matched * 100 >= compared * 97, qPrintable(QStringLiteral("%1 of %2 match").arg(matched).arg(compared)));
}

// The first section's stories, each on the pages Word shows it on; the
// last paragraph mark of a story only separates it from the next one.
void tst_WordCorpus::headersFootersAndNotesAreRead()
{
    TAMAPIKO_REQUIRE_SHARED(corpus, "corpus/doc");
    auto read = [&](const QString &name, DocumentModel &model) {
        QFile file(corpus + QLatin1Char('/') + name);
        QString error;
        return file.open(QIODevice::ReadOnly) && load(file.readAll(), model, &error);
    };
    DocumentModel unicode;
    QVERIFY(read(QStringLiteral("poi_HeaderFooterUnicode.doc"), unicode));
    const HeaderFooterSet &set = unicode.headerFooters();
    QVERIFY(!set.differentFirstPage());
    QVERIFY(!set.differentEvenPages());
    const QTextDocument *header = set.storyForPage(HeaderFooterKind::Header, 1);
    const QTextDocument *footer = set.storyForPage(HeaderFooterKind::Footer, 1);
    QVERIFY(header && footer);
    QCOMPARE(header->toPlainText(), QStringLiteral("This is a simple header, with a € euro symbol in it.\n"));
    QCOMPARE(footer->toPlainText(), QStringLiteral("The footer, with Molière, has Unicode in it."));
    QVERIFY(!unicode.document()->toPlainText().contains(QStringLiteral("simple header")));

    // Chinese header stops and a footer, on every page.
    DocumentModel chinese;
    QVERIFY(read(QStringLiteral("poi_61490.doc"), chinese));
    QCOMPARE(chinese.headerFooters().storyForPage(HeaderFooterKind::Header, 0)->toPlainText(),
             QStringLiteral("页眉左\t页眉中\t页眉右"));
    QCOMPARE(chinese.headerFooters().storyForPage(HeaderFooterKind::Footer, 3)->toPlainText(), QStringLiteral("页脚内容"));

    // A page number field stays a field (in an even pages' footer that
    // this file, not telling even pages apart, never shows).
    DocumentModel korean;
    QVERIFY(read(QStringLiteral("libscan_test4_korean.doc"), korean));
    QVERIFY(!korean.headerFooters().differentEvenPages());
    const QTextDocument *numbered = korean.headerFooters().story(HeaderFooterKind::Footer, HeaderFooterPages::Even);
    QVERIFY(numbered);
    const QTextBlock block = numbered->begin();
    bool field = false;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        field = field || it.fragment().charFormat().intProperty(CharField) == int(FieldKind::PageNumber);
    QVERIFY2(field, qPrintable(numbered->toPlainText()));

    // Notes show their numbers in the body and keep their text there;
    // written and read again they are still notes.
    DocumentModel notes;
    QVERIFY(read(QStringLiteral("poi_footnote.doc"), notes));
    auto noteRuns = [](const DocumentModel &model) {
        QStringList runs;
        for (auto it = model.document()->begin().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.hasProperty(CharNote))
                runs << it.fragment().text() + QLatin1Char(':') + format.stringProperty(CharNote)
                        + (format.boolProperty(CharEndnote) ? QStringLiteral(" (end)") : QString());
        }
        return runs;
    };
    const QStringList expected{QStringLiteral("1:TestFootnote"), QStringLiteral("i:TestEndnote (end)")};
    QCOMPARE(noteRuns(notes), expected);
    DocumentModel reloaded;
    QString error;
    QVERIFY2(load(save(notes), reloaded, &error), qPrintable(error));
    QCOMPARE(noteRuns(reloaded), expected);
}

QTEST_MAIN(tst_WordCorpus)
#include "tst_WordCorpus.moc"
