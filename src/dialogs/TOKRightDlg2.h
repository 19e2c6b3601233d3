#pragma once

// The page setup dialog: paper size, margins, orientation and print zoom.
// Only the orientation group is built so far; the frame puts it into its
// portrait start state when it first shows.

#include <QDialog>

class QGroupBox;
class QLabel;
class QRadioButton;

class TOKRightDlg2 : public QDialog
{
    Q_OBJECT

public:
    explicit TOKRightDlg2(QWidget *parent = nullptr);
    ~TOKRightDlg2() override;

    // Portrait chosen, landscape not, and the page symbol sized for portrait.
    void resetOrientation();

    QGroupBox *GroupBox3 = nullptr;
    QLabel *Image1 = nullptr;
    QRadioButton *RdoTate = nullptr;
    QRadioButton *RdoYoko = nullptr;

private:
    void placePageSymbol(bool portrait);
};
