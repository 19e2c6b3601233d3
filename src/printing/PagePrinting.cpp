#include "printing/PagePrinting.h"

#include "engine/TTextEngine.h"
#include "printing/PdfTextRuns.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <optional>
#include <cstdio>
#include <stdexcept>

namespace tamapiko::printing {

namespace {

bool jobRunning = false;

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

// The PDF is made complete under a hidden name in the target's folder and
// then renamed over the target, so that a failed job never leaves a
// truncated file where a good one was.
class PdfReplacement
{
public:
    explicit PdfReplacement(QPrinter &printer)
        : m_printer(printer)
        , m_target(printer.outputFileName())
    {
        const QFileInfo info(m_target);
        const QString target = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
        m_finalPath = target;
        QTemporaryFile temporary(QFileInfo(target).absolutePath() + QStringLiteral("/.")
                                 + QFileInfo(target).fileName() + QStringLiteral(".XXXXXX"));
        if (!temporary.open())
            fail(QStringLiteral("Error saving file ") + m_target);
        temporary.setAutoRemove(false);
        m_temporary = temporary.fileName();
        printer.setOutputFileName(m_temporary);
    }

    ~PdfReplacement()
    {
        m_printer.setOutputFileName(m_target);
        if (!m_committed)
            QFile::remove(m_temporary);
    }

    void commit()
    {
        compactTemporary();
        QFile::setPermissions(m_temporary, QFileInfo::exists(m_finalPath)
                                               ? QFile::permissions(m_finalPath)
                                               : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                     | QFile::ReadOther);
        if (std::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_finalPath).constData()) != 0)
            fail(QStringLiteral("Error saving file ") + m_target);
        m_committed = true;
    }

private:
    // Qt writes every glyph of the text on its own; the runs take a
    // fraction of the room.
    void compactTemporary()
    {
        QFile file(m_temporary);
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("Error saving file ") + m_target);
        const QByteArray written = file.readAll();
        file.close();
        const QByteArray compact = compactPdfText(written);
        if (compact.size() >= written.size())
            return;
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(compact) != compact.size()
            || !file.flush())
            fail(QStringLiteral("Error saving file ") + m_target);
    }

    QPrinter &m_printer;
    QString m_target;
    QString m_finalPath;
    QString m_temporary;
    bool m_committed = false;
};

} // namespace

void fitPrinterToPage(QPrinter &printer, const TTextEngine &engine)
{
    const int width = std::max(1, engine.PageWidth());
    const int height = std::max(1, engine.PageHeight());
    // Twips to points, the short side first: a landscape page is an upright
    // paper turned.
    const QSizeF upright(std::min(width, height) / 20.0, std::max(width, height) / 20.0);
    const QPageSize paper(upright, QPageSize::Point, QString(), QPageSize::FuzzyMatch);
    const QPageLayout layout(paper, width > height ? QPageLayout::Landscape : QPageLayout::Portrait,
                             QMarginsF(), QPageLayout::Point);
    printer.setFullPage(true);
    printer.setPageLayout(layout);
}

void keepShapedText(TTextEngine &engine)
{
    for (QTextBlock block = engine.document()->begin(); block.isValid(); block = block.next())
        block.layout()->setCacheEnabled(true);
}

bool isPrinting()
{
    return jobRunning;
}

void printPages(TTextEngine &engine, QPrinter &printer, const QString &title, int from, int to, int copies,
                int zoom)
{
    if (jobRunning)
        fail(QStringLiteral("印刷中"));
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    if (toFile ? printer.outputFileName().isEmpty() : !printer.isValid())
        fail(QStringLiteral("ﾃﾞﾌｫﾙﾄ ﾌﾟﾘﾝﾀが存在しません"));

    jobRunning = true;
    const auto done = qScopeGuard([&engine] {
        jobRunning = false;
        engine.setPrintDevice(nullptr);
    });

    std::optional<PdfReplacement> pdf;
    if (toFile)
        pdf.emplace(printer);
    printer.setDocName(title);
    // The copies are printed here, as complete runs; the printer makes one.
    printer.setCopyCount(1);

    QPainter painter;
    if (!painter.begin(&printer))
        fail(QStringLiteral("選択したﾌﾟﾘﾝﾀは有効ではありません"));
    for (int copy = 1; copy <= copies; ++copy) {
        for (int page = from; page <= to; ++page) {
            engine.setPrintDevice(&painter);
            engine.setPrintZoom(zoom);
            if (!engine.PrintPage(page)) {
                const QString reason = engine.errorString();
                printer.abort();
                painter.end();
                fail(reason);
            }
            if (!(copy == copies && page == to))
                printer.newPage();
        }
    }
    if (!painter.end())
        fail(QStringLiteral("Error saving file ") + printer.outputFileName());
    if (pdf)
        pdf->commit();
}

} // namespace tamapiko::printing
