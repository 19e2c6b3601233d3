// make_page_png DOCUMENT PAGE OUT.png [DPI]
//
// Renders one page of a document, opened as the program opens it, through
// the engine's PrintPage at 96 dpi (or DPI) to a PNG, without a display: the
// picture to hold next to LibreOffice's rendering of the same file
// (/work/shared/tools/side-by-side.sh). Prints the page count on stdout.

#include "app/PageSettings.h"
#include "document/DefaultPage.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "engine/TTextEngine.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cmath>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream errors(stderr);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() < 3) {
        errors << "usage: make_page_png DOCUMENT PAGE OUT.png [DPI]\n";
        return 2;
    }
    using namespace tamapiko::document;
    const QString input = arguments[0];
    const int pageNumber = arguments[1].toInt();
    const int dpi = arguments.size() > 3 ? arguments[3].toInt() : 96;
    const std::optional<int> format = formatForFileName(input);
    if (!format || dpi <= 0) {
        errors << "make_page_png: " << input << ": unsupported file type or resolution\n";
        return 2;
    }

    TTextEngine engine;
    const DefaultPage start = defaultPageForLanguage(engine.Language());
    engine.setPageWidth(start.pageWidth);
    engine.setPageHeight(start.pageHeight);
    PageSettingsRecord page;
    QString reason;
    if (!loadDocumentFile(engine, input, *format, page, &reason)) {
        errors << "make_page_png: cannot open " << input << ": " << reason << '\n';
        return 1;
    }
    const int pages = engine.CurrentPages();
    out << pages << '\n';
    if (pageNumber < 1 || pageNumber > pages) {
        errors << "make_page_png: " << input << " has no page " << pageNumber << '\n';
        return 1;
    }

    const double scale = dpi / 1440.0;
    QImage image(int(std::ceil(engine.PageWidth() * scale)), int(std::ceil(engine.PageHeight() * scale)),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    engine.setPrintDevice(&painter);
    engine.setPrintZoom(100);
    const bool printed = engine.PrintPage(pageNumber);
    painter.end();
    if (!printed || !image.save(arguments[2])) {
        errors << "make_page_png: cannot write " << arguments[2] << '\n';
        return 1;
    }
    return 0;
}
