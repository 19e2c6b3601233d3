#include "app/TOptionForm.h"

#include "app/FolderChooser.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

TOptionForm *theOptionForm = nullptr;

const QStringList DocumentTypes = {
    QStringLiteral("Microsoft Word (*.doc)"), QStringLiteral("MOXぽこぺんﾉｰﾄ (*.txm)"),
    QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"), QStringLiteral("HTML ﾌｧｲﾙ (*.htm)"),
    QStringLiteral("ﾃｷｽﾄ文書 (*.txt)"),
};
const QStringList InsertFileTypes = {
    QStringLiteral("ﾃｷｽﾄ文書 (*.txt)"), QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"),
};
const QStringList ImageTypes = {
    QStringLiteral("Windows Bitmap(*.bmp)"), QStringLiteral("Tagged Image Format(*.TIF)"),
    QStringLiteral("Windows Metafile(*.WMF)"), QStringLiteral("JPEG 形式 (*.jpg)"),
};

QLabel *makeLabel(const char *name, const QString &caption)
{
    auto *label = new QLabel(caption);
    label->setObjectName(QLatin1String(name));
    return label;
}

QLineEdit *makeEdit(const char *name)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QPushButton *makeBrowseButton(const char *name)
{
    auto *button = new QPushButton(QStringLiteral("参照"));
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// What is stored is the box's text, chosen or typed; typing never adds entries.
QComboBox *makeTypeBox(const char *name, const QStringList &entries)
{
    auto *box = new QComboBox;
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(entries);
    return box;
}

} // namespace

TOptionForm::TOptionForm(QWidget *parent, OptionSettings *settings)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("OptionForm"));
    setWindowTitle(QStringLiteral("オプション"));
    setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    setFixedSize(530, 426);
    setOptionSettings(settings);

    Label2 = makeLabel("Label2", QStringLiteral("ﾌｧｲﾙｵｰﾌﾟﾝ先："));
    Label3 = makeLabel("Label3", QStringLiteral("ﾌｧｲﾙｵｰﾌﾟﾝ先ﾌｧｲﾙの種類："));
    Label1 = makeLabel("Label1", QStringLiteral("ﾌｧｲﾙ保存先："));
    Label4 = makeLabel("Label4", QStringLiteral("ﾌｧｲﾙ保存先ﾌｧｲﾙの種類："));
    Label5 = makeLabel("Label5", QStringLiteral("挿入ﾌｧｲﾙｵｰﾌﾟﾝ先："));
    Label6 = makeLabel("Label6", QStringLiteral("挿入ﾌｧｲﾙｵｰﾌﾟﾝ先ﾌｧｲﾙの種類："));
    Label7 = makeLabel("Label7", QStringLiteral("挿入ｲﾒｰｼﾞｵｰﾌﾟﾝ先："));
    Label8 = makeLabel("Label8", QStringLiteral("挿入ｲﾒｰｼﾞｵｰﾌﾟﾝ先ﾌｧｲﾙの種類："));
    Label9 = makeLabel("Label9", QStringLiteral("文書ﾌｧｲﾙを開くｿﾌﾄの指定"));

    OpenFiel = makeEdit("OpenFiel");
    SaveFiel = makeEdit("SaveFiel");
    inFile = makeEdit("inFile");
    ImageFile = makeEdit("ImageFile");
    SpeedButton1 = makeBrowseButton("SpeedButton1");
    SpeedButton2 = makeBrowseButton("SpeedButton2");
    SpeedButton4 = makeBrowseButton("SpeedButton4");
    SpeedButton3 = makeBrowseButton("SpeedButton3");
    CobFileTyp = makeTypeBox("CobFileTyp", DocumentTypes);
    CobSaveTyp = makeTypeBox("CobSaveTyp", DocumentTypes);
    CobinFileTyp = makeTypeBox("CobinFileTyp", InsertFileTypes);
    CobImageFileTyp = makeTypeBox("CobImageFileTyp", ImageTypes);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(4);
    layout->addWidget(addFolderGroup(QStringLiteral("GroupBox1"), Label2, OpenFiel, SpeedButton1, Label3, CobFileTyp));
    layout->addWidget(addFolderGroup(QStringLiteral("GroupBox2"), Label1, SaveFiel, SpeedButton2, Label4, CobSaveTyp));
    layout->addWidget(addFolderGroup(QStringLiteral("GroupBox3"), Label5, inFile, SpeedButton4, Label6, CobinFileTyp));
    QGroupBox *imageGroup = addFolderGroup(QStringLiteral("GroupBox4"), Label7, ImageFile, SpeedButton3,
                                           Label8, CobImageFileTyp);
    layout->addWidget(imageGroup);

    RadioGroup1 = new QGroupBox;
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1Buttons = new QButtonGroup(this);
    auto *radioLayout = new QHBoxLayout(RadioGroup1);
    radioLayout->setContentsMargins(8, 2, 8, 2);
    const QStringList choices = {QStringLiteral("ﾃﾞｰﾀ"), QStringLiteral("ﾘﾝｸ")};
    for (int i = 0; i < choices.size(); ++i) {
        auto *choice = new QRadioButton(choices[i]);
        choice->setObjectName(QStringLiteral("RadioGroup1Choice%1").arg(i));
        RadioGroup1Buttons->addButton(choice, i);
        radioLayout->addWidget(choice);
    }
    static_cast<QGridLayout *>(imageGroup->layout())->addWidget(RadioGroup1, 2, 1, 1, 2);

    auto *associationGroup = new QGroupBox;
    associationGroup->setObjectName(QStringLiteral("GroupBox5"));
    auto *associationLayout = new QHBoxLayout(associationGroup);
    associationLayout->setContentsMargins(8, 4, 8, 4);
    RegSaveCB = new QComboBox;
    RegSaveCB->setObjectName(QStringLiteral("RegSaveCB"));
    RegSaveCB->addItems({QStringLiteral("たまぴこで開く"), QStringLiteral("変えない")});
    associationLayout->addWidget(Label9);
    associationLayout->addWidget(RegSaveCB, 1);
    layout->addWidget(associationGroup);

    OKBtn = new QPushButton(QStringLiteral("OK"));
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);

    connect(SpeedButton1, &QPushButton::clicked, this, &TOptionForm::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TOptionForm::SpeedButton2Click);
    connect(SpeedButton4, &QPushButton::clicked, this, &TOptionForm::SpeedButton4Click);
    connect(SpeedButton3, &QPushButton::clicked, this, &TOptionForm::SpeedButton3Click);
    connect(OKBtn, &QPushButton::clicked, this, &TOptionForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    theOptionForm = this;
}

TOptionForm::~TOptionForm()
{
    if (theOptionForm == this)
        theOptionForm = nullptr;
}

TOptionForm *TOptionForm::instance()
{
    return theOptionForm;
}

void TOptionForm::setOptionSettings(OptionSettings *settings)
{
    m_settings = settings ? settings : &m_ownSettings;
}

QGroupBox *TOptionForm::addFolderGroup(const QString &objectName, QLabel *folderLabel, QLineEdit *folder,
                                       QPushButton *browse, QLabel *typeLabel, QComboBox *type)
{
    auto *group = new QGroupBox;
    group->setObjectName(objectName);
    auto *grid = new QGridLayout(group);
    grid->setContentsMargins(8, 4, 8, 4);
    grid->setVerticalSpacing(3);
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(folder, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(typeLabel, 1, 0);
    grid->addWidget(type, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    return group;
}

void TOptionForm::setVisible(bool visible)
{
    // Every opening starts from the file, so an earlier cancelled edit is
    // gone. Only an opening: a minimise and restore of the program shows the
    // dialog again, and must not wipe what the user is typing.
    if (visible && !isVisible()) {
        if (QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        FormShow();
    }
    QDialog::setVisible(visible);
}

void TOptionForm::FormShow()
{
    IniOption(*m_settings);
    OpenFiel->setText(m_settings->FileOpen);
    CobFileTyp->setEditText(m_settings->FileOpenTyp);
    SaveFiel->setText(m_settings->FileSave);
    CobSaveTyp->setEditText(m_settings->FileSaveTyp);
    inFile->setText(m_settings->FileIN);
    CobinFileTyp->setEditText(m_settings->FileINTyp);
    ImageFile->setText(m_settings->FileImage);
    CobImageFileTyp->setEditText(m_settings->FileImageTyp);

    const int regSave = m_settings->RegSave;
    RegSaveCB->setCurrentIndex(regSave >= 0 && regSave < RegSaveCB->count() ? regSave : -1);
    // Like a radio group's index: too large picks the last choice, negative none.
    const int pictIns = m_settings->PictINS;
    setRadioGroup1Index(pictIns < 0 ? -1 : qMin(pictIns, int(RadioGroup1Buttons->buttons().size()) - 1));
}

int TOptionForm::RegSaveIndex() const
{
    return RegSaveCB->currentIndex();
}

int TOptionForm::RadioGroup1Index() const
{
    return RadioGroup1Buttons->checkedId();
}

void TOptionForm::setRadioGroup1Index(int index)
{
    if (QAbstractButton *choice = RadioGroup1Buttons->button(index)) {
        choice->setChecked(true);
        return;
    }
    // An exclusive group only lets go of its checked button while not exclusive.
    RadioGroup1Buttons->setExclusive(false);
    for (QAbstractButton *choice : RadioGroup1Buttons->buttons())
        choice->setChecked(false);
    RadioGroup1Buttons->setExclusive(true);
}

void TOptionForm::browseInto(QLineEdit *field)
{
    if (const std::optional<QString> folder = FolderChooser::chooseFolder(this))
        field->setText(*folder);
}

void TOptionForm::SpeedButton1Click()
{
    browseInto(OpenFiel);
}

void TOptionForm::SpeedButton2Click()
{
    browseInto(SaveFiel);
}

void TOptionForm::SpeedButton4Click()
{
    browseInto(inFile);
}

void TOptionForm::SpeedButton3Click()
{
    browseInto(ImageFile);
}

void TOptionForm::OKBtnClick()
{
    m_settings->RegSave = RegSaveIndex();
    m_settings->PictINS = RadioGroup1Index();

    // The text fields of the record are left alone: the next IniOption,
    // before every file dialog, loads them from the file.
    OptionSettings values;
    values.FileOpen = OpenFiel->text();
    values.FileOpenTyp = CobFileTyp->currentText();
    values.FileSave = SaveFiel->text();
    values.FileSaveTyp = CobSaveTyp->currentText();
    values.FileIN = inFile->text();
    values.FileINTyp = CobinFileTyp->currentText();
    values.FileImage = ImageFile->text();
    values.FileImageTyp = CobImageFileTyp->currentText();
    values.RegSave = m_settings->RegSave;
    values.PictINS = m_settings->PictINS;

    QString error;
    if (!WriteOptionIni(values, &error)) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("ｴﾗｰ"), error, QMessageBox::NoButton, this);
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.exec();
    }
    accept();
}
