#include "dialogs/TOKRightDlg1.h"

#include "dialogs/DialogControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

using namespace tamapiko::dialogs;

namespace {

QGroupBox *makeGroup(QWidget *parent, const char *name, const QString &title, const QRect &geometry)
{
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(QLatin1String(name));
    group->setGeometry(geometry);
    return group;
}

} // namespace

TOKRightDlg1::TOKRightDlg1(QWidget *parent)
    : OkCancelDialog(parent)
{
    setObjectName(QStringLiteral("OKRightDlg1"));
    setWindowTitle(QStringLiteral("段落の枠線"));
    setDialogLook(this, QSize(302, 207));

    OKBtn = makeOkButton(this, QRect(210, 8, 75, 25));
    CancelBtn = makeCancelButton(this, QRect(210, 42, 75, 25));

    GroupBox1 = makeGroup(this, "GroupBox1", QStringLiteral("枠線："), QRect(2, 8, 139, 79));
    chkLeft = makeCheckBox(GroupBox1, "chkLeft", QStringLiteral("左(&L)"), QRect(5, 20, 52, 17));
    chkRight = makeCheckBox(GroupBox1, "chkRight", QStringLiteral("右(&R)"), QRect(5, 37, 52, 17));
    chkTabLines = makeCheckBox(GroupBox1, "chkTabLines", QStringLiteral("ﾀﾌﾞ線(&A)"), QRect(5, 54, 69, 17));
    chkTop = makeCheckBox(GroupBox1, "chkTop", QStringLiteral("上(&T)"), QRect(80, 20, 52, 17));
    chkBottom = makeCheckBox(GroupBox1, "chkBottom", QStringLiteral("下(&B)"), QRect(80, 37, 52, 17));

    GroupBox2 = makeGroup(this, "GroupBox2", QStringLiteral("ｽﾀｲﾙ："), QRect(1, 93, 282, 43));
    chkConnectedFrames = makeCheckBox(GroupBox2, "chkConnectedFrames", QStringLiteral("枠線を接続(&F)"),
                                      QRect(11, 16, 97, 17));
    chkDoubleLines = makeCheckBox(GroupBox2, "chkDoubleLines", QStringLiteral("二重線(&D)"), QRect(149, 16, 97, 17));

    Label1 = makeLabel(this, "Label1", QStringLiteral("線の幅(&W):"), QPoint(8, 148));
    cboLineWidth = makeEditableList(this, "cboLineWidth", QRect(123, 144, 94, 21));
    fillWithNumbers(cboLineWidth, 1, 12, QStringLiteral("pt"));
    Label2 = makeLabel(this, "Label2", QStringLiteral("ﾃｷｽﾄの配置(&E):"), QPoint(7, 170));
    cboTextDistance = makeEditableList(this, "cboTextDistance", QRect(123, 168, 94, 21));
    fillWithNumbers(cboTextDistance, 0, 12, QStringLiteral("pt"));
    Label1->setBuddy(cboLineWidth);
    Label2->setBuddy(cboTextDistance);

    tamapiko::dialogs::setTabOrder({OKBtn, CancelBtn, chkLeft, chkRight, chkTabLines, chkTop, chkBottom, chkConnectedFrames,
                 chkDoubleLines, cboLineWidth, cboTextDistance});

    connect(OKBtn, &QPushButton::clicked, this, &TOKRightDlg1::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TOKRightDlg1::CancelBtnClick);
}

TOKRightDlg1::~TOKRightDlg1() = default;

