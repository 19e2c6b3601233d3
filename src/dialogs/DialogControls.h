#pragma once

// The look the program's small layout dialogs share: a fixed client area,
// the 9-point UI font, and controls placed at given pixel positions.

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <initializer_list>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace tamapiko::dialogs {

// A modal dialog that ends with 1 when closed with OK and 2 when closed with
// Cancel, Esc or the close box.
class OkCancelDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;

    void OKBtnClick() { done(1); }
    void CancelBtnClick() { done(2); }
    void reject() override { CancelBtnClick(); }
};

// Fixed client size and the dialog font.
void setDialogLook(QDialog *dialog, QSize clientSize);

// "OK" (the default button) and "ｷｬﾝｾﾙ"; neither is connected.
QPushButton *makeOkButton(QWidget *parent, const QRect &geometry);
QPushButton *makeCancelButton(QWidget *parent, const QRect &geometry);

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QPoint topLeft);
QCheckBox *makeCheckBox(QWidget *parent, const char *name, const QString &text, const QRect &geometry);
// A drop-down list that also takes typed text; typing adds no entries.
QComboBox *makeEditableList(QWidget *parent, const char *name, const QRect &geometry);

// Tab moves through `widgets` in this order.
void setTabOrder(std::initializer_list<QWidget *> widgets);

// Replaces the entries with the decimal numbers first..last, each followed
// by `suffix`, and selects none.
void fillWithNumbers(QComboBox *box, int first, int last, const QString &suffix = QString());

} // namespace tamapiko::dialogs
