#include "printing/TfrmPrintPreview.h"

TfrmPrintPreview::TfrmPrintPreview(QWidget *parent)
    : QDialog(parent)
{
}

TfrmPrintPreview::~TfrmPrintPreview() = default;
