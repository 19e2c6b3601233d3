#include "dialogs/TOKRightDlg2.h"

#include "app/ErrorReporting.h"
#include "dialogs/PageUnits.h"
#include "dialogs/UpDown.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>

using namespace tamapiko::dialogs;
using tamapiko::app::runGuarded;

namespace {

// A sheet with a folded corner and lines of text, drawn small and stretched
// to the label like the bitmap it stands for.
QPixmap pageSymbol()
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    const QPolygon sheet({QPoint(2, 0), QPoint(9, 0), QPoint(12, 3), QPoint(12, 13), QPoint(2, 13)});
    painter.drawPolygon(sheet);
    painter.drawLine(9, 0, 9, 3);
    painter.drawLine(9, 3, 12, 3);
    painter.setPen(Qt::darkGray);
    for (int y = 5; y <= 11; y += 2)
        painter.drawLine(4, y, 10, y);
    return pixmap;
}

void placePageSymbol(QLabel *image, bool portrait)
{
    if (portrait)
        image->setGeometry(14, 16, 38, 40);
    else
        image->setGeometry(14, 18, 42, 36);
}

QLabel *addLabel(QWidget *parent, const QString &text, QPoint at)
{
    auto *label = new QLabel(text, parent);
    label->move(at);
    label->adjustSize();
    return label;
}

constexpr int PaperLimit = 32767;       // twips the page may measure across
constexpr int MinimumPrintZoom = 10;
constexpr int MaximumPrintZoom = 400;

} // namespace

TOKRightDlg2::TOKRightDlg2(PageSettingsRecord &pageSettings, int &printZoomPercent, const int &measureUnit,
                           QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_pageSettings(pageSettings)
    , m_printZoomPercent(printZoomPercent)
    , m_measureUnit(measureUnit)
{
    setWindowTitle(QStringLiteral("ﾍﾟｰｼﾞ設定"));
    setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    setFixedSize(331, 260);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(160, 224, 75, 25);
    btnOK->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(240, 224, 75, 25);

    GroupBox1 = new QGroupBox(QStringLiteral("用紙(&P)"), this);
    GroupBox1->setGeometry(6, 5, 147, 105);
    cboPaperSize = new QComboBox(GroupBox1);
    cboPaperSize->setObjectName(QStringLiteral("cboPaperSize"));
    cboPaperSize->setGeometry(14, 20, 125, cboPaperSize->sizeHint().height());
    for (const PaperSize &paper : PaperSizes)
        cboPaperSize->addItem(QString::fromLatin1(paper.name));
    cboPaperSize->addItem(QStringLiteral("USER_DEFINED"));
    txtPaperWidth = addMeasureField(GroupBox1, QStringLiteral("幅(&W):"), {15, 49}, {60, 46}, {118, 49}, 0);
    txtPaperHeight = addMeasureField(GroupBox1, QStringLiteral("高さ(&H):"), {15, 76}, {60, 72}, {118, 75}, 1);

    GroupBox2 = new QGroupBox(QStringLiteral("ﾍﾟｰｼﾞ余白"), this);
    GroupBox2->setGeometry(7, 130, 307, 82);
    txtLeftMargin = addMeasureField(GroupBox2, QStringLiteral("左(&L):"), {15, 22}, {60, 19}, {118, 25}, 2);
    txtTopMargin = addMeasureField(GroupBox2, QStringLiteral("上(&T):"), {15, 49}, {60, 49}, {118, 55}, 3);
    txtRightMargin = addMeasureField(GroupBox2, QStringLiteral("右(&R):"), {161, 22}, {202, 19}, {261, 25}, 4);
    txtBottomMargin = addMeasureField(GroupBox2, QStringLiteral("下(&B):"), {161, 55}, {202, 50}, {261, 55}, 5);

    GroupBox3 = new QGroupBox(QStringLiteral("印刷の向き"), this);
    GroupBox3->setGeometry(164, 5, 150, 65);
    Image1 = new QLabel(GroupBox3);
    Image1->setPixmap(pageSymbol());
    Image1->setScaledContents(true);
    RdoTate = new QRadioButton(QStringLiteral("縦(&T)"), GroupBox3);
    RdoTate->setObjectName(QStringLiteral("RdoTate"));
    RdoTate->setGeometry(75, 16, 52, 17);
    RdoYoko = new QRadioButton(QStringLiteral("横(&C)"), GroupBox3);
    RdoYoko->setObjectName(QStringLiteral("RdoYoko"));
    RdoYoko->setGeometry(75, 41, 55, 17);
    resetOrientation();

    GroupBox4 = new QGroupBox(QStringLiteral("拡大縮小印刷"), this);
    GroupBox4->setGeometry(163, 74, 151, 51);
    addLabel(GroupBox4, QStringLiteral("拡大/縮小印刷"), {9, 29});
    EdtZoom = new QLineEdit(QStringLiteral("100"), GroupBox4);
    EdtZoom->setObjectName(QStringLiteral("EdtZoom"));
    EdtZoom->setGeometry(91, 25, 27, 20);
    UpDown1 = new UpDown(GroupBox4);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(118, 25, 15, 20);
    UpDown1->setRange(MinimumPrintZoom, MaximumPrintZoom);
    UpDown1->setStep(5);
    UpDown1->setBuddy(EdtZoom);
    UpDown1->setPosition(100);
    addLabel(GroupBox4, QStringLiteral("%"), {136, 28});

    // Tab order: OK, cancel, then the groups in the order paper, margins,
    // orientation, zoom.
    QWidget *order[] = {btnOK, CancelBtn, cboPaperSize, txtPaperWidth, txtPaperHeight, txtLeftMargin,
                        txtTopMargin, txtRightMargin, txtBottomMargin, RdoTate, RdoYoko, EdtZoom};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(btnOK, &QPushButton::clicked, this, [this] { runGuarded([this] { btnOKClick(); }); });
    connect(CancelBtn, &QPushButton::clicked, this, &TOKRightDlg2::reject);
    connect(cboPaperSize, &QComboBox::activated, this, [this] { cboPaperSizeClick(); });
    connect(RdoTate, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            orientationChanged(true);
    });
    connect(RdoYoko, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            orientationChanged(false);
    });
    for (QLineEdit *field : {txtPaperWidth, txtPaperHeight, txtLeftMargin, txtTopMargin, txtRightMargin,
                             txtBottomMargin, EdtZoom})
        connect(field, &QLineEdit::textChanged, this, [this] { fieldChanged(); });
    // Leaving the width or height field checks again.
    for (QLineEdit *field : {txtPaperWidth, txtPaperHeight})
        connect(field, &QLineEdit::editingFinished, this, [this] { fieldChanged(); });
}

TOKRightDlg2::~TOKRightDlg2() = default;

QLineEdit *TOKRightDlg2::addMeasureField(QGroupBox *group, const QString &label, QPoint labelAt, QPoint editAt,
                                         QPoint unitAt, int unitIndex)
{
    QLabel *caption = addLabel(group, label, labelAt);
    auto *field = new QLineEdit(group);
    field->setGeometry(editAt.x(), editAt.y(), 50, 20);
    caption->setBuddy(field);
    LblMng[unitIndex] = addLabel(group, QStringLiteral("cm"), unitAt);
    LblMng[unitIndex]->setObjectName(QStringLiteral("LblMng%1").arg(unitIndex + 1));
    static const char *const names[] = {"txtPaperWidth", "txtPaperHeight", "txtLeftMargin",
                                        "txtTopMargin", "txtRightMargin", "txtBottomMargin"};
    field->setObjectName(QString::fromLatin1(names[unitIndex]));
    return field;
}

void TOKRightDlg2::resetOrientation()
{
    const QSignalBlocker portrait(RdoTate);
    const QSignalBlocker landscape(RdoYoko);
    RdoTate->setChecked(true);
    RdoYoko->setChecked(false);
    placePageSymbol(Image1, true);
}

void TOKRightDlg2::reject()
{
    done(2);
}

void TOKRightDlg2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    runGuarded([this] { FormShow(); });
}

void TOKRightDlg2::FormShow()
{
    // The fields are refilled as a whole and checked once when all hold
    // their new values: checking after each refill would still see the
    // previous showing's texts, which may make no number.
    m_filling = true;
    UpDown1->setPosition(m_printZoomPercent);
    const QString unit = m_measureUnit == Inches ? QStringLiteral("ｲﾝﾁ") : QStringLiteral("cm");
    for (QLabel *label : LblMng) {
        label->setText(unit);
        label->adjustSize();
    }
    const std::pair<QLineEdit *, int> fills[] = {
        {txtLeftMargin, m_pageSettings.MarginLeft}, {txtTopMargin, m_pageSettings.MarginTop},
        {txtRightMargin, m_pageSettings.MarginRight}, {txtBottomMargin, m_pageSettings.MarginBottom},
        {txtPaperWidth, m_pageSettings.PaperWidth}, {txtPaperHeight, m_pageSettings.PaperHeight}};
    for (const auto &[field, value] : fills) {
        field->setMaxLength(32767);
        field->setText(TwipsToText(value, m_measureUnit));
        field->setMaxLength(6);
    }
    m_filling = false;
    DetectPaperSize();
    fieldChanged();
}

int TOKRightDlg2::twips(const QLineEdit *field) const
{
    return TextToTwips(field->text(), m_measureUnit);
}

void TOKRightDlg2::cboPaperSizeClick()
{
    const int index = cboPaperSize->currentIndex();
    if (index < 0 || index >= UserDefinedPaper)
        return;   // "USER_DEFINED": the user types the sizes
    const PaperSize &paper = PaperSizes[size_t(index)];
    if (RdoTate->isChecked()) {
        txtPaperWidth->setText(TwipsToText(paper.shortSide, m_measureUnit));
        txtPaperHeight->setText(TwipsToText(paper.longSide, m_measureUnit));
    } else {
        txtPaperHeight->setText(TwipsToText(paper.shortSide, m_measureUnit));
        txtPaperWidth->setText(TwipsToText(paper.longSide, m_measureUnit));
    }
}

void TOKRightDlg2::orientationChanged(bool portrait)
{
    placePageSymbol(Image1, portrait);
    // The sheet turns: what was the width becomes the height. The margins
    // stay where they are.
    const QString oldHeight = txtPaperHeight->text();
    const QString oldWidth = txtPaperWidth->text();
    txtPaperHeight->setText(oldWidth);
    txtPaperWidth->setText(oldHeight);
}

void TOKRightDlg2::DetectPaperSize()
{
    runGuarded([this] {
        const int width = twips(txtPaperWidth);
        const int height = twips(txtPaperHeight);
        const bool portrait = RdoTate->isChecked();
        cboPaperSize->setCurrentIndex(portrait ? paperIndexForSides(width, height)
                                               : paperIndexForSides(height, width));
    });
}

bool TOKRightDlg2::ValidatePageFields()
{
    bool valid = true;
    const bool portrait = RdoTate->isChecked();

    const int width = twips(txtPaperWidth);
    const int height = twips(txtPaperHeight);
    const int uprightWidth = portrait ? width : height;
    const int uprightHeight = portrait ? height : width;

    const int left = twips(txtLeftMargin);
    const int right = twips(txtRightMargin);
    const int top = twips(txtTopMargin);
    const int bottom = twips(txtBottomMargin);
    for (int margin : {left, right})
        valid = valid && margin > 0 && margin <= uprightWidth;
    for (int margin : {top, bottom})
        valid = valid && margin > 0 && margin <= uprightHeight;

    // The page may measure at most 32767 twips across its short side
    // doubled and along its long side.
    const long long widthLimit = portrait ? 2LL * width : width;
    const long long heightLimit = portrait ? height : 2LL * height;
    valid = valid && widthLimit <= PaperLimit && heightLimit <= PaperLimit && width > 0 && height > 0;

    // The zoom: "100", "100%", "50%"; a fourth character other than "%"
    // spoils the text before any number is read from it.
    const QString zoom = EdtZoom->text();
    if (zoom.size() >= 4 && zoom[3] != u'%')
        return false;
    const bool threeDigits = zoom.size() >= 3 && zoom[2] >= u'0' && zoom[2] <= u'9';
    const QString number = zoom.left(threeDigits ? 3 : 2);
    if (number.isEmpty())
        return false;
    bool ok = false;
    const int percent = number.toInt(&ok);
    if (!ok)
        throw tamapiko::app::ConversionError(QStringLiteral("'%1' は整数ではありません").arg(number));
    m_printZoomPercent = percent;
    return valid && percent >= MinimumPrintZoom && percent <= MaximumPrintZoom;
}

void TOKRightDlg2::fieldChanged()
{
    if (m_filling)
        return;
    runGuarded([this] { btnOK->setEnabled(ValidatePageFields()); });
}

void TOKRightDlg2::btnOKClick()
{
    // Every field is converted before anything is stored: a field that makes
    // no number leaves the record as it was and the dialog open.
    PageSettingsRecord page = m_pageSettings;
    page.MarginLeft = twips(txtLeftMargin);
    page.MarginTop = twips(txtTopMargin);
    page.MarginRight = twips(txtRightMargin);
    page.MarginBottom = twips(txtBottomMargin);
    page.PaperWidth = twips(txtPaperWidth);
    page.PaperHeight = twips(txtPaperHeight);
    page.PaperIndex = std::int16_t(cboPaperSize->currentIndex());
    m_pageSettings = page;
    done(1);
}
