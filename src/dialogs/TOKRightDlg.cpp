#include "dialogs/TOKRightDlg.h"

TOKRightDlg::TOKRightDlg(QWidget *parent)
    : QDialog(parent)
{
}

TOKRightDlg::~TOKRightDlg() = default;
