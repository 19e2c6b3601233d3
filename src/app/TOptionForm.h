#pragma once

// The options dialog: default folders and file types of the file dialogs, the file association and the picture mode.

#include "app/OptionSettings.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TOptionForm : public QDialog
{
    Q_OBJECT

public:
    // `settings` is the program's record: every showing loads it from
    // Option.ini and OK stores RegSave and PictINS in it. Without one the
    // dialog keeps a record of its own.
    explicit TOptionForm(QWidget *parent = nullptr, OptionSettings *settings = nullptr);
    ~TOptionForm() override;

    // The dialog created at start-up, for the document windows' menu item.
    static TOptionForm *instance();

    void setOptionSettings(OptionSettings *settings);

    // Selected entry of RegSaveCB and choice of RadioGroup1, -1 when none.
    int RegSaveIndex() const;
    int RadioGroup1Index() const;

public slots:
    void FormShow();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton4Click();
    void SpeedButton3Click();
    void OKBtnClick();

    void setVisible(bool visible) override;

private:
    QGroupBox *addFolderGroup(const QString &objectName, QLabel *folderLabel, QLineEdit *folder,
                              QPushButton *browse, QLabel *typeLabel, QComboBox *type);
    void browseInto(QLineEdit *field);
    void setRadioGroup1Index(int index);

    OptionSettings m_ownSettings;
    OptionSettings *m_settings = &m_ownSettings;

    QLabel *Label2, *Label3, *Label1, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9;
    QLineEdit *OpenFiel, *SaveFiel, *inFile, *ImageFile;
    QPushButton *SpeedButton1, *SpeedButton2, *SpeedButton4, *SpeedButton3;
    QComboBox *CobFileTyp, *CobSaveTyp, *CobinFileTyp, *CobImageFileTyp;
    QGroupBox *RadioGroup1;
    QButtonGroup *RadioGroup1Buttons;
    QComboBox *RegSaveCB;
    QPushButton *OKBtn, *CancelBtn;
};
