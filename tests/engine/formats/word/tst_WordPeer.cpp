// Word files we write, read by other programs: LibreOffice must find our
// text in them and lay them out on as many pages as it gives the file we
// read them from; antiword must read them too. The documents are our own
// rich and Japanese ones and every corpus RTF and .doc file as we write it
// after reading it. One soffice run converts each batch.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/RtfFilter.h"
#include "engine/formats/word/WordFilter.h"
#include "engine/layout/ListNumbering.h"
#include "support/PdfProbe.h"
#include "support/RichDocumentBuilder.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

#include <optional>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

// The text a reader of the page sees: list numbers in, hidden text out.
QString visibleText(const QTextDocument &document)
{
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (const QString label = ListNumbering::itemText(block); !label.isEmpty())
            text += label + QLatin1Char(' ');
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().boolProperty(CharHidden))
                text += it.fragment().text();
        }
        text += QLatin1Char('\n');
    }
    return text;
}

// Peers put cells and list labels on lines of their own, draw tables with
// bars (antiword) and drop pictures, so only the other characters compare.
QString comparable(const QString &text)
{
    QString result;
    for (const QChar c : normalisedCorpusText(text)) {
        if (c != QLatin1Char('|'))
            result.append(c);
    }
    return result;
}

// antiword lays tables, frames and nested tables out in an order of its
// own and shows pictures as "[pic]": what must hold is that it finds our
// characters. The share of ours it shows, in any order.
double sharedShare(const QString &ours, QString theirs)
{
    theirs.remove(QStringLiteral("[pic]"));
    QHash<QChar, int> counts;
    for (const QChar c : std::as_const(theirs))
        ++counts[c];
    qsizetype found = 0;
    for (const QChar c : ours) {
        int &left = counts[c];
        if (left > 0) {
            --left;
            ++found;
        }
    }
    return ours.isEmpty() ? 1.0 : double(found) / double(ours.size());
}

QString describeDifference(const QString &name, const QString &ours, const QString &theirs)
{
    const int at = firstTextDifference(ours, theirs);
    return QStringLiteral("%1 at %2: ours \"%3\" theirs \"%4\"")
        .arg(name)
        .arg(at)
        .arg(ours.mid(std::max(0, at - 5), 25), theirs.mid(std::max(0, at - 5), 25));
}

void buildJapaneseLetter(DocumentModel &model)
{
    QTextCursor cursor(model.document());
    QTextCharFormat format;
    format.setFontFamilies(QStringList{QStringLiteral("ＭＳ 明朝")});
    format.setFontPointSize(10.5);
    cursor.insertText(QStringLiteral("拝啓　時下ますますご清栄のこととお喜び申し上げます。"), format);
    cursor.insertBlock();
    QTextCharFormat bold = format;
    bold.setFontWeight(QFont::Bold);
    cursor.insertText(QStringLiteral("記"), bold);
    cursor.insertBlock();
    QTextTable *table = cursor.insertTable(2, 2);
    const QStringList cells = {QStringLiteral("日時"), QStringLiteral("十二月七日（月）"), QStringLiteral("場所"),
                               QStringLiteral("本社　三階会議室")};
    for (int i = 0; i < cells.size(); ++i)
        table->cellAt(i / 2, i % 2).firstCursorPosition().insertText(cells.at(i), format);
}

struct Written
{
    QString original; // the file it was read from; empty for our own documents
    QString text;     // what we show
};

QStringList sofficeArguments(const QString &profile, const QString &filter, const QString &outDir)
{
    return {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
            QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir};
}

// LibreOffice's page counts of the corpus files, which never change, are
// kept beside the test program by the files' digest so that later runs
// convert only what we wrote.
class PageCountCache
{
public:
    PageCountCache() : m_file(QCoreApplication::applicationDirPath() + QLatin1String("/word_peer_pages.tsv"))
    {
        QFile file(m_file);
        if (!file.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() == 2)
                m_pages.insert(fields.at(0), fields.at(1).toInt());
        }
    }
    static QByteArray digest(const QString &path)
    {
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        if (file.open(QIODevice::ReadOnly))
            hash.addData(&file);
        return hash.result().toHex();
    }
    std::optional<int> pages(const QString &path) const
    {
        const auto it = m_pages.constFind(digest(path));
        return it == m_pages.cend() ? std::nullopt : std::optional<int>(*it);
    }
    void insert(const QString &path, int pages) { m_pages.insert(digest(path), pages); }
    void save() const
    {
        QFile file(m_file);
        if (!file.open(QIODevice::WriteOnly))
            return;
        for (auto it = m_pages.cbegin(); it != m_pages.cend(); ++it)
            file.write(it.key() + '\t' + QByteArray::number(it.value()) + '\n');
    }

private:
    QString m_file;
    QHash<QByteArray, int> m_pages;
};

bool readWith(DocumentFilter &filter, const QString &path, DocumentModel &model)
{
    QFile file(path);
    QString error;
    return file.open(QIODevice::ReadOnly) && filter.read(file, model, {}, &error);
}

} // namespace

class tst_WordPeer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void libreOfficeReadsOurText();
    void libreOfficeGivesAsManyPages_data();
    void libreOfficeGivesAsManyPages();
    void antiwordReadsWhatWeWrite();

private:
    void add(const QString &stem, const DocumentModel &model, const QString &original);
    bool convert(const QString &filter, const QString &outDir, const QStringList &files);
    QStringList writtenFiles() const;

    QTemporaryDir m_dir;
    QMap<QString, Written> m_written; // file stem -> what it holds
    QString m_soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    PageCountCache m_originalPages;
    bool m_pagesConverted = false;
};

void tst_WordPeer::add(const QString &stem, const DocumentModel &model, const QString &original)
{
    QFile file(m_dir.filePath(stem + QLatin1String(".doc")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QString error;
    QVERIFY2(WordFilter().write(file, model, {}, &error), qPrintable(stem + QLatin1String(": ") + error));
    m_written.insert(stem, Written{original, visibleText(*model.document())});
}

void tst_WordPeer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DocumentModel rich;
    RichDocumentBuilder(QString(), RichDocumentBuilder::ParagraphFrames | RichDocumentBuilder::Lists).build(rich);
    add(QStringLiteral("rich"), rich, QString());
    DocumentModel letter;
    buildJapaneseLetter(letter);
    add(QStringLiteral("letter"), letter, QString());

    const QString shared = sharedDir();
    if (shared.isEmpty())
        return;
    RtfFilter rtf;
    WordFilter word;
    const struct {
        QString folder;
        QString pattern;
        DocumentFilter *filter;
    } sources[] = {{QStringLiteral("rtf"), QStringLiteral("*.rtf"), &rtf}, {QStringLiteral("doc"), QStringLiteral("*.doc"), &word}};
    for (const auto &source : sources) {
        const QDir corpus(shared + QLatin1String("/corpus/") + source.folder);
        for (const QFileInfo &info : corpus.entryInfoList({source.pattern}, QDir::Files, QDir::Name)) {
            DocumentModel model;
            if (readWith(*source.filter, info.filePath(), model))
                add(source.folder + QLatin1Char('_') + info.completeBaseName(), model, info.filePath());
        }
    }
}

bool tst_WordPeer::convert(const QString &filter, const QString &outDir, const QStringList &files)
{
    if (files.isEmpty())
        return true;
    QProcess process;
    process.start(m_soffice, sofficeArguments(m_dir.filePath(QStringLiteral("profile")), filter, m_dir.filePath(outDir)) + files);
    return process.waitForFinished(300000);
}

QStringList tst_WordPeer::writtenFiles() const
{
    QStringList files;
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it)
        files.append(m_dir.filePath(it.key() + QLatin1String(".doc")));
    return files;
}

void tst_WordPeer::libreOfficeReadsOurText()
{
    if (m_soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");
    QVERIFY2(convert(QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("text"), writtenFiles()),
             "soffice did not finish in five minutes");
    QStringList misses;
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it) {
        QFile out(m_dir.filePath(QStringLiteral("text/") + it.key() + QLatin1String(".txt")));
        if (!out.open(QIODevice::ReadOnly)) {
            misses.append(it.key() + QLatin1String(" (no text from LibreOffice)"));
            continue;
        }
        const QString theirs = comparable(QString::fromUtf8(out.readAll()));
        const QString ours = comparable(it->text);
        if (theirs != ours)
            misses.append(describeDifference(it.key(), ours, theirs));
    }
    QVERIFY2(misses.isEmpty(), qPrintable(misses.join(QLatin1String("\n"))));
}

void tst_WordPeer::libreOfficeGivesAsManyPages_data()
{
    QTest::addColumn<QString>("stem");
    int rows = 0;
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it) {
        if (!it->original.isEmpty()) {
            QTest::newRow(qPrintable(it.key())) << it.key();
            ++rows;
        }
    }
    // Without the shared corpus there is no original to compare with (and
    // a data function without rows would still run the test once).
    if (rows == 0)
        QSKIP("shared corpus not present");
}

// What we write is laid out by LibreOffice on as many pages as the file we
// read it from. Both sides are converted on the first row.
void tst_WordPeer::libreOfficeGivesAsManyPages()
{
    QFETCH(QString, stem);
    if (m_soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");
    if (!havePdfTools())
        QSKIP("pdfinfo (poppler-utils) is not installed to count LibreOffice's pages");
    if (!m_pagesConverted) {
        m_pagesConverted = true;
        QStringList originals;
        for (const Written &written : std::as_const(m_written)) {
            if (!written.original.isEmpty() && !m_originalPages.pages(written.original))
                originals.append(written.original);
        }
        QVERIFY(convert(QStringLiteral("pdf"), QStringLiteral("ours"), writtenFiles()));
        QVERIFY(convert(QStringLiteral("pdf"), QStringLiteral("theirs"), originals));
        for (const QString &original : std::as_const(originals)) {
            m_originalPages.insert(original, pdfFacts(m_dir.filePath(QStringLiteral("theirs/") + QFileInfo(original).completeBaseName()
                                                                     + QLatin1String(".pdf"))).pages);
        }
        m_originalPages.save();
    }
    const Written &written = m_written[stem];
    const int theirPages = m_originalPages.pages(written.original).value_or(0);
    if (theirPages == 0)
        QSKIP("LibreOffice cannot read the original");
    const int ourPages = pdfFacts(m_dir.filePath(QStringLiteral("ours/") + stem + QLatin1String(".pdf"))).pages;
    // What we do not write yet shows in the page count.
    static const QMap<QString, const char *> knownMisses = {
        {QStringLiteral("doc_poi_MarkAuthorsTable"), "paragraphs are read further apart than the original spaces them"},
        {QStringLiteral("doc_tika_testWORD_embeded"), "embedded objects are neither shown nor written"},
    };
    if (const auto known = knownMisses.constFind(stem); known != knownMisses.cend())
        QEXPECT_FAIL("", *known, Continue);
    QCOMPARE(ourPages, theirPages);
}

void tst_WordPeer::antiwordReadsWhatWeWrite()
{
    const QString antiword = QStandardPaths::findExecutable(QStringLiteral("antiword"));
    if (antiword.isEmpty())
        QSKIP("antiword is not installed");
    // antiword writes UTF-8 only under a UTF-8 locale that exists.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QStringList misses;
    for (auto it = m_written.cbegin(); it != m_written.cend(); ++it) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(antiword, {QStringLiteral("-w"), QStringLiteral("0"), QStringLiteral("-m"), QStringLiteral("UTF-8.txt"),
                                 m_dir.filePath(it.key() + QLatin1String(".doc"))});
        QVERIFY(process.waitForFinished(60000));
        const QString theirs = comparable(QString::fromUtf8(process.readAllStandardOutput()));
        const double share = sharedShare(comparable(it->text), theirs);
        qInfo("%-60s antiword shows %.1f %% of our characters", qPrintable(it.key()), 100 * share);
        if (process.exitCode() != 0)
            misses.append(it.key() + QLatin1String(": ") + QString::fromUtf8(process.readAllStandardError()).trimmed());
        else if (share < 0.98)
            misses.append(describeDifference(it.key(), comparable(it->text), theirs));
    }
    QVERIFY2(misses.isEmpty(), qPrintable(misses.join(QLatin1String("\n"))));
}

QTEST_MAIN(tst_WordPeer)
#include "tst_WordPeer.moc"
