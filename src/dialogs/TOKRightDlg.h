#pragma once

// The table insert dialog: rows and columns of a new table.
//
// Created once with the frame and kept; every showing fills the two lists
// afresh and sets both boxes to "2". The dialog checks nothing: the table
// command reads the boxes' texts as they stand.

#include "dialogs/DialogControls.h"

class QComboBox;
class QLabel;
class QPushButton;

class TOKRightDlg : public tamapiko::dialogs::OkCancelDialog
{
    Q_OBJECT

public:
    explicit TOKRightDlg(QWidget *parent = nullptr);
    ~TOKRightDlg() override;

    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cboRows = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cboColumns = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
};
