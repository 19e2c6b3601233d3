#include "app/TOptionForm.h"

TOptionForm::TOptionForm(QWidget *parent)
    : QDialog(parent)
{
}

TOptionForm::~TOptionForm() = default;
