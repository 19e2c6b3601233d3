#pragma once

// The paragraph frame dialog: the sides, lines and distance of a paragraph's frame.

#include <QDialog>

class TOKRightDlg1 : public QDialog
{
    Q_OBJECT

public:
    explicit TOKRightDlg1(QWidget *parent = nullptr);
    ~TOKRightDlg1() override;
};
