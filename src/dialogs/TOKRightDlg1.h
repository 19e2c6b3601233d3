#pragma once

// The paragraph frame dialog: the sides, lines and distance of a paragraph's
// frame.
//
// Created once with the frame and kept: the controls hold their state
// between showings. The paragraph frame command fills them from the engine
// and reads them back after OK; the dialog itself checks nothing.

#include "dialogs/DialogControls.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

class TOKRightDlg1 : public tamapiko::dialogs::OkCancelDialog
{
    Q_OBJECT

public:
    explicit TOKRightDlg1(QWidget *parent = nullptr);
    ~TOKRightDlg1() override;

    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QCheckBox *chkLeft = nullptr;
    QCheckBox *chkRight = nullptr;
    QCheckBox *chkTabLines = nullptr;
    QCheckBox *chkTop = nullptr;
    QCheckBox *chkBottom = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QCheckBox *chkConnectedFrames = nullptr;
    QCheckBox *chkDoubleLines = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cboLineWidth = nullptr;      // "1pt" … "12pt"
    QLabel *Label2 = nullptr;
    QComboBox *cboTextDistance = nullptr;   // "0pt" … "12pt"
};
