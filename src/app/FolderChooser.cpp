#include "app/FolderChooser.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

bool askToCreate(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"),
                    QStringLiteral("指定されたﾃﾞｨﾚｸﾄﾘが存在しません。作成しますか？"),
                    QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void reportCannotCreate(QWidget *parent)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("ｴﾗｰ"),
                    QStringLiteral("ﾃﾞｨﾚｸﾄﾘを作成することができません"), QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

FolderChooser::FolderChooser(QWidget *parent)
    : QFileDialog(parent, QStringLiteral("ﾃﾞｨﾚｸﾄﾘの選択"), QDir::rootPath())
{
    setObjectName(QStringLiteral("FolderChooser"));
    // Our own dialog, so that a typed folder that does not exist reaches accept().
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::ShowDirsOnly);
    setFileMode(QFileDialog::Directory);
    setAcceptMode(QFileDialog::AcceptOpen);
}

std::optional<QString> FolderChooser::chooseFolder(QWidget *parent)
{
    FolderChooser chooser(parent);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chooser.selectedFiles().constFirst());
}

void FolderChooser::accept()
{
    const QStringList chosen = selectedFiles();
    if (chosen.size() == 1 && !QFileInfo::exists(chosen.constFirst())) {
        if (!askToCreate(this))
            return;
        if (!QDir().mkpath(chosen.constFirst())) {
            reportCannotCreate(this);
            return;
        }
    }
    QFileDialog::accept();
}
