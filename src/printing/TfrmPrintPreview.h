#pragma once

// The print preview window: one page at a time, fitted to the window.

#include <QDialog>

class TfrmPrintPreview : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmPrintPreview(QWidget *parent = nullptr);
    ~TfrmPrintPreview() override;
};
