#include "app/ConvertCommand.h"

#include "app/PageSettings.h"
#include "document/DefaultPage.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "engine/TTextEngine.h"
#include "printing/PagePrinting.h"

#include <QFileInfo>
#include <QPrinter>

#include <QTextStream>

#include <cstdio>

#include <cstring>

namespace {

const char ConvertOption[] = "--convert";

QString orUnknown(const QString &reason)
{
    return reason.isEmpty() ? QStringLiteral("unknown error") : reason;
}

bool isPdfFileName(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

// Every page of the document, as printing to a PDF file from the print
// dialog writes it: the same sheets at the program's start print zoom.
bool exportPdf(TTextEngine &engine, const QString &path, QString *error)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCreator(QStringLiteral("tamapiko"));
    tamapiko::printing::fitPrinterToPage(printer, engine);
    tamapiko::printing::keepShapedText(engine);
    try {
        tamapiko::printing::printPages(engine, printer, QFileInfo(path).completeBaseName(), 1,
                                       engine.CurrentPages(), 1, 100);
    } catch (const std::exception &failure) {
        *error = QString::fromStdString(failure.what());
        return false;
    }
    return true;
}

// A conversion says one line when it fails and nothing when it works: the
// library's notes about fonts and devices are no news to its user.
void dropLibraryNotes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tamapiko: %s\n", qPrintable(message));
}

} // namespace

bool isConvertCommand(int argc, char *argv[])
{
    return argc > 1 && std::strcmp(argv[1], ConvertOption) == 0;
}

void prepareHeadlessConversion()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropLibraryNotes);
}

int runConvertCommand(const QStringList &arguments, QTextStream &errors)
{
    using namespace tamapiko::document;
    if (arguments.size() != 2) {
        errors << "usage: tamapiko --convert IN OUT\n";
        return 2;
    }
    const QString &input = arguments[0];
    const QString &output = arguments[1];
    const std::optional<int> inputFormat = formatForFileName(input);
    const bool toPdf = isPdfFileName(output);
    const std::optional<int> outputFormat = toPdf ? std::optional<int>(0) : formatForFileName(output);
    for (const auto &[name, format] : {std::pair{input, inputFormat}, std::pair{output, outputFormat}}) {
        if (!format) {
            errors << "tamapiko: " << name
                   << ": unsupported file type (use .doc, .txm, .rtf, .htm, .html or .txt; .pdf to print into)\n";
            return 2;
        }
    }

    // The page a document window starts with, so that a converted file
    // gets the same page as one opened and saved in the program.
    TTextEngine engine;
    const DefaultPage start = defaultPageForLanguage(engine.Language());
    engine.setPageWidth(start.pageWidth);
    engine.setPageHeight(start.pageHeight);

    PageSettingsRecord page;
    QString reason;
    if (!loadDocumentFile(engine, input, *inputFormat, page, &reason)) {
        errors << "tamapiko: cannot open " << input << ": " << orUnknown(reason) << '\n';
        return 1;
    }
    const bool written = toPdf ? exportPdf(engine, output, &reason)
                               : saveDocumentFile(engine, output, *outputFormat, page, &reason);
    if (!written) {
        errors << "tamapiko: cannot save " << output << ": " << orUnknown(reason) << '\n';
        return 1;
    }
    return 0;
}
