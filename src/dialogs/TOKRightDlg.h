#pragma once

// The table insert dialog: rows and columns of a new table.

#include <QDialog>

class TOKRightDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TOKRightDlg(QWidget *parent = nullptr);
    ~TOKRightDlg() override;
};
