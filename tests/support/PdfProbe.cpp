#include "support/PdfProbe.h"

#include "engine/DocumentModel.h"
#include "engine/TTextEngine.h"
#include "engine/layout/HeaderFooterLayout.h"
#include "engine/layout/ListNumbering.h"
#include "engine/layout/PageLayout.h"

#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace tamapiko::test {

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

bool havePdfTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

PdfFacts pdfFacts(const QString &path)
{
    PdfFacts facts;
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const auto pages = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
                           .match(info);
    if (pages.hasMatch())
        facts.pages = pages.captured(1).toInt();
    const auto size = QRegularExpression(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                         QRegularExpression::MultilineOption)
                          .match(info);
    if (size.hasMatch())
        facts.pageSize = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
    return facts;
}

QStringList pdfPageTexts(const QString &path)
{
    // pdftotext ends every page with a form feed; -raw keeps the order in
    // which the page was drawn (table cells row by row, list numbers before
    // their items) and the hyphens at line ends.
    QStringList pages = run(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                                                          QStringLiteral("-")})
                            .split(QChar(u'\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QStringList enginePageTexts(TTextEngine *engine)
{
    // Pages grow with the position: the first position of each page is
    // found by halving, with the caret telling the page it stands on.
    const QString text = engine->document()->toPlainText();
    const int pages = engine->CurrentPages();
    auto pageAt = [engine](int position) {
        engine->setSelLength(0);
        engine->setSelStart(position);
        return engine->CurrentPage();
    };
    QList<int> starts{0};
    for (int page = 2; page <= pages; ++page) {
        int low = starts.last();
        int high = int(text.size());
        while (low < high) {
            const int middle = (low + high) / 2;
            if (pageAt(middle) >= page)
                high = middle;
            else
                low = middle + 1;
        }
        starts << low;
    }
    starts << int(text.size());
    // A page reads header, body, footer, as pdftotext reads them.
    using tamapiko::engine::HeaderFooterKind;
    using tamapiko::engine::HeaderFooterLayout;
    const auto &headerFooters = engine->model()->headerFooters();
    auto story = [&](HeaderFooterKind kind, int page) {
        const QTextDocument *document = headerFooters.storyForPage(kind, page);
        return document ? HeaderFooterLayout::resolvedCopy(*document, page, pages)->toPlainText() : QString();
    };
    // A list item's number is drawn before its first line, on its page.
    auto body = [&](int from, int to) {
        QString result;
        for (QTextBlock block = engine->document()->findBlock(from); block.isValid() && block.position() < to;
             block = block.next()) {
            const int start = std::max(from, block.position());
            if (start == block.position())
                result += tamapiko::engine::ListNumbering::itemText(block);
            result += text.mid(start, std::min(to, block.position() + block.length()) - start);
        }
        return result;
    };
    // Notes stand below the body.
    const auto *layout = qobject_cast<tamapiko::engine::PageLayout *>(engine->document()->documentLayout());
    QStringList result;
    for (int page = 0; page < pages; ++page)
        result << story(HeaderFooterKind::Header, page) + body(starts[page], starts[page + 1])
                + layout->notes().textOnPage(page) + story(HeaderFooterKind::Footer, page);
    return result;
}

QString withoutSpaces(const QString &text)
{
    QString result;
    for (QChar c : text) {
        if (!c.isSpace() && c != QChar::ObjectReplacementCharacter && c != QChar(0x2028) && c != QChar(0x2029))
            result += c;
    }
    return result;
}

QStringList printedPageTexts(TTextEngine &engine, const QString &path)
{
    {
        QPdfWriter writer(path);
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QSizeF(engine.PageWidth() / 20.0, engine.PageHeight() / 20.0), QPageSize::Point));
        writer.setPageMargins(QMarginsF());
        QPainter painter(&writer);
        engine.setPrintDevice(&painter);
        engine.setPrintZoom(100);
        const auto detach = qScopeGuard([&engine] { engine.setPrintDevice(nullptr); });
        for (int page = 1; page <= engine.CurrentPages(); ++page) {
            if (page > 1)
                writer.newPage();
            if (!engine.PrintPage(page))
                return {};
        }
    }
    QStringList texts = pdfPageTexts(path);
    for (QString &text : texts)
        text = withoutSpaces(text);
    return texts;
}

} // namespace tamapiko::test
