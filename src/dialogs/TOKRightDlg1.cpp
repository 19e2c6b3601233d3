#include "dialogs/TOKRightDlg1.h"

TOKRightDlg1::TOKRightDlg1(QWidget *parent)
    : QDialog(parent)
{
}

TOKRightDlg1::~TOKRightDlg1() = default;
