#include "printing/PrintCommand.h"

#include "engine/TTextEngine.h"
#include "printing/PagePrinting.h"

#include <QPrintDialog>
#include <QPrinter>

PrintCommand::PrintCommand(QWidget *dialogParent)
    : QObject(dialogParent)
    , m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    PrintDialog1 = new QPrintDialog(m_printer.get(), dialogParent);
    PrintDialog1->setObjectName(QStringLiteral("PrintDialog1"));
}

PrintCommand::~PrintCommand()
{
    // The dialog refers to the printer: it goes first.
    delete PrintDialog1;
}

void PrintCommand::run(TTextEngine &engine, const QString &title, int zoom)
{
    const int pages = engine.CurrentPages();
    tamapiko::printing::fitPrinterToPage(*m_printer, engine);
    m_printer->setCopyCount(1);
    m_printer->setFromTo(1, pages);
    PrintDialog1->setMinMax(1, pages);
    PrintDialog1->setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile);
    if (PrintDialog1->exec() != QDialog::Accepted)
        return;

    int from = 1;
    int to = pages;
    if (m_printer->printRange() == QPrinter::PageRange) {
        from = std::clamp(m_printer->fromPage(), 1, pages);
        to = std::clamp(m_printer->toPage(), 1, pages);
    }
    tamapiko::printing::printPages(engine, *m_printer, title, from, to, std::max(1, m_printer->copyCount()), zoom);
}
