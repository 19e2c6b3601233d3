#include "dialogs/TOKRightDlg2.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>

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

} // namespace

TOKRightDlg2::TOKRightDlg2(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ﾍﾟｰｼﾞ設定"));
    setFixedSize(331, 260);

    GroupBox3 = new QGroupBox(QStringLiteral("印刷の向き"), this);
    GroupBox3->setGeometry(164, 5, 150, 65);
    Image1 = new QLabel(GroupBox3);
    Image1->setPixmap(pageSymbol());
    Image1->setScaledContents(true);
    RdoTate = new QRadioButton(QStringLiteral("縦(&T)"), GroupBox3);
    RdoTate->setGeometry(75, 16, 52, 17);
    RdoYoko = new QRadioButton(QStringLiteral("横(&C)"), GroupBox3);
    RdoYoko->setGeometry(75, 41, 55, 17);
    resetOrientation();
}

TOKRightDlg2::~TOKRightDlg2() = default;

void TOKRightDlg2::resetOrientation()
{
    RdoTate->setChecked(true);
    RdoYoko->setChecked(false);
    placePageSymbol(true);
}

void TOKRightDlg2::placePageSymbol(bool portrait)
{
    if (portrait)
        Image1->setGeometry(14, 16, 38, 40);
    else
        Image1->setGeometry(14, 18, 42, 36);
}
