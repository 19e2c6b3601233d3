#include "printing/PagePrinting.h"

#include "engine/TTextEngine.h"
#include "printing/pdf/PdfWriter.h"

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
    explicit PdfReplacement(const QString &target)
        : m_target(target)
    {
        const QFileInfo info(m_target);
        m_finalPath = info.isSymLink() ? info.symLinkTarget() : info.absoluteFilePath();
        QTemporaryFile temporary(QFileInfo(m_finalPath).absolutePath() + QStringLiteral("/.")
                                 + QFileInfo(m_finalPath).fileName() + QStringLiteral(".XXXXXX"));
        if (!temporary.open())
            fail(QStringLiteral("Error saving file ") + m_target);
        temporary.setAutoRemove(false);
        m_temporary = temporary.fileName();
    }

    ~PdfReplacement()
    {
        if (!m_committed)
            QFile::remove(m_temporary);
    }

    const QString &temporaryPath() const { return m_temporary; }

    void commit()
    {
        QFile::setPermissions(m_temporary, QFileInfo::exists(m_finalPath)
                                               ? QFile::permissions(m_finalPath)
                                               : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                     | QFile::ReadOther);
        if (std::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_finalPath).constData()) != 0)
            fail(QStringLiteral("Error saving file ") + m_target);
        m_committed = true;
    }

private:
    QString m_target;
    QString m_finalPath;
    QString m_temporary;
    bool m_committed = false;
};

// The sheets of a job: a printer's pages, or those of a PDF file we write
// ourselves.
class Sheets
{
public:
    explicit Sheets(QPrinter &printer)
        : m_printer(printer)
    {
        if (printer.outputFormat() != QPrinter::PdfFormat)
            return;
        m_replacement.emplace(printer.outputFileName());
        m_pdf.emplace(m_replacement->temporaryPath());
        const QPageLayout layout = printer.pageLayout();
        // From millimetres, which keep the fractions of a point.
        m_pdf->setPageSize(layout.fullRect(QPageLayout::Millimeter).size() * (72 / 25.4));
        m_pdf->setTitle(printer.docName());
        m_pdf->setCreator(printer.creator());
    }

    QPaintDevice *device() { return m_pdf ? static_cast<QPaintDevice *>(&*m_pdf) : &m_printer; }
    void newSheet()
    {
        if (m_pdf)
            m_pdf->newPage();
        else
            m_printer.newPage();
    }
    void abort()
    {
        if (!m_pdf)
            m_printer.abort();
    }
    void finish()
    {
        if (m_replacement)
            m_replacement->commit();
    }

private:
    QPrinter &m_printer;
    std::optional<PdfReplacement> m_replacement;
    std::optional<pdf::PdfWriter> m_pdf;
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

    printer.setDocName(title);
    // The copies are printed here, as complete runs; the printer makes one.
    printer.setCopyCount(1);
    Sheets sheets(printer);

    QPainter painter;
    if (!painter.begin(sheets.device()))
        fail(QStringLiteral("選択したﾌﾟﾘﾝﾀは有効ではありません"));
    for (int copy = 1; copy <= copies; ++copy) {
        for (int page = from; page <= to; ++page) {
            engine.setPrintDevice(&painter);
            engine.setPrintZoom(zoom);
            if (!engine.PrintPage(page)) {
                const QString reason = engine.errorString();
                sheets.abort();
                painter.end();
                fail(reason);
            }
            if (!(copy == copies && page == to))
                sheets.newSheet();
        }
    }
    if (!painter.end())
        fail(QStringLiteral("Error saving file ") + printer.outputFileName());
    sheets.finish();
}

} // namespace tamapiko::printing
