#include "dialogs/DialogControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tamapiko::dialogs {

void setDialogLook(QDialog *dialog, QSize clientSize)
{
    dialog->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    dialog->setFixedSize(clientSize);
    dialog->setSizeGripEnabled(false);
}

QPushButton *makeOkButton(QWidget *parent, const QRect &geometry)
{
    auto *button = new QPushButton(QStringLiteral("OK"), parent);
    button->setObjectName(QStringLiteral("OKBtn"));
    button->setGeometry(geometry);
    button->setDefault(true);
    return button;
}

QPushButton *makeCancelButton(QWidget *parent, const QRect &geometry)
{
    auto *button = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), parent);
    button->setObjectName(QStringLiteral("CancelBtn"));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, QPoint topLeft)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(topLeft);
    label->adjustSize();
    return label;
}

QCheckBox *makeCheckBox(QWidget *parent, const char *name, const QString &text, const QRect &geometry)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

QComboBox *makeEditableList(QWidget *parent, const char *name, const QRect &geometry)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setGeometry(geometry);
    return box;
}

void setTabOrder(std::initializer_list<QWidget *> widgets)
{
    QWidget *previous = nullptr;
    for (QWidget *widget : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void fillWithNumbers(QComboBox *box, int first, int last, const QString &suffix)
{
    QStringList entries;
    for (int n = first; n <= last; ++n)
        entries << QString::number(n) + suffix;
    box->clear();
    box->addItems(entries);
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}

} // namespace tamapiko::dialogs
