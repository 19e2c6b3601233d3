#pragma once

// The page setup dialog: paper size, margins, orientation and print zoom.

#include <QDialog>

class TOKRightDlg2 : public QDialog
{
    Q_OBJECT

public:
    explicit TOKRightDlg2(QWidget *parent = nullptr);
    ~TOKRightDlg2() override;
};
