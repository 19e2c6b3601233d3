#include "dialogs/TOKRightDlg.h"

#include "dialogs/DialogControls.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace {
constexpr int MostRowsListed = 100;
constexpr int MostColumnsListed = 12;
} // namespace

using namespace tamapiko::dialogs;

TOKRightDlg::TOKRightDlg(QWidget *parent)
    : OkCancelDialog(parent)
{
    setObjectName(QStringLiteral("OKRightDlg"));
    setWindowTitle(QStringLiteral("表の挿入"));
    setDialogLook(this, QSize(251, 87));

    OKBtn = makeOkButton(this, QRect(148, 16, 75, 22));
    CancelBtn = makeCancelButton(this, QRect(148, 50, 75, 22));
    Label1 = makeLabel(this, "Label1", QStringLiteral("行："), QPoint(30, 20));
    cboRows = makeEditableList(this, "cboRows", QRect(64, 18, 60, 21));
    Label2 = makeLabel(this, "Label2", QStringLiteral("列："), QPoint(30, 50));
    cboColumns = makeEditableList(this, "cboColumns", QRect(64, 48, 60, 21));
    Label1->setBuddy(cboRows);
    Label2->setBuddy(cboColumns);
    tamapiko::dialogs::setTabOrder({OKBtn, CancelBtn, cboRows, cboColumns});

    connect(OKBtn, &QPushButton::clicked, this, &TOKRightDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TOKRightDlg::CancelBtnClick);
}

TOKRightDlg::~TOKRightDlg() = default;

void TOKRightDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TOKRightDlg::FormShow()
{
    fillWithNumbers(cboRows, 1, MostRowsListed);
    fillWithNumbers(cboColumns, 1, MostColumnsListed);
    // Entry 1 is "2": a text typed at the last showing is replaced.
    cboColumns->setCurrentIndex(1);
    cboRows->setCurrentIndex(1);
}
