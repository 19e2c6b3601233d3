#pragma once

// The page setup dialog: paper size, margins, orientation and print zoom.
//
// The dialog works on the program-wide page record, print zoom and measure
// unit it is given; the page setup command fills the record from the
// document's engine before showing it and hands the record back to the
// engine after OK. The orientation is the dialog's own state: it decides how
// a paper is laid into the width and height fields and how they are
// checked, and it stays as the user left it between showings.

#include "app/PageSettings.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class UpDown;

class TOKRightDlg2 : public QDialog
{
    Q_OBJECT

public:
    // The three references are the program's state and must outlive the
    // dialog: the page record and print zoom it reads and writes, and the
    // measure unit (1 inches, 2 centimetres) it reads at each showing.
    TOKRightDlg2(PageSettingsRecord &pageSettings, int &printZoomPercent, const int &measureUnit,
                 QWidget *parent = nullptr);
    ~TOKRightDlg2() override;

    // Portrait chosen, landscape not, and the page symbol sized for portrait.
    void resetOrientation();

    // Cancel and Esc end the dialog with 2, OK with 1.
    void reject() override;

    QPushButton *btnOK = nullptr;
    QPushButton *CancelBtn = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QComboBox *cboPaperSize = nullptr;
    QLineEdit *txtPaperWidth = nullptr;
    QLineEdit *txtPaperHeight = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QLineEdit *txtLeftMargin = nullptr;
    QLineEdit *txtTopMargin = nullptr;
    QLineEdit *txtRightMargin = nullptr;
    QLineEdit *txtBottomMargin = nullptr;
    QLabel *LblMng[6] = {};            // LblMng1 … LblMng6: width, height, left, top, right, bottom
    QGroupBox *GroupBox3 = nullptr;
    QLabel *Image1 = nullptr;
    QRadioButton *RdoTate = nullptr;
    QRadioButton *RdoYoko = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QLineEdit *EdtZoom = nullptr;
    UpDown *UpDown1 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void cboPaperSizeClick();
    void orientationChanged(bool portrait);
    void DetectPaperSize();
    // True when every field holds an acceptable value. Stores the zoom
    // number in the print zoom as soon as it is read; throws
    // ConversionError for a field that makes no number.
    bool ValidatePageFields();
    // Runs the validation and enables OK by its result; a conversion error
    // is reported and leaves OK as it was.
    void fieldChanged();
    void btnOKClick();

    QLineEdit *addMeasureField(QGroupBox *group, const QString &label, QPoint labelAt, QPoint editAt, QPoint unitAt,
                               int unitIndex);
    int twips(const QLineEdit *field) const;

    PageSettingsRecord &m_pageSettings;
    int &m_printZoomPercent;
    const int &m_measureUnit;
    bool m_filling = false;            // FormShow is refilling the fields
};
