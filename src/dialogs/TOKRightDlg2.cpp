#include "dialogs/TOKRightDlg2.h"

TOKRightDlg2::TOKRightDlg2(QWidget *parent)
    : QDialog(parent)
{
}

TOKRightDlg2::~TOKRightDlg2() = default;
