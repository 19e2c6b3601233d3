// The insert menu of a document window: a text or RTF file at the input
// position, a picture as a character or at a fixed place, an object (a file
// of any kind) likewise. The program chooses text files and pictures with
// the window's one open dialog; the engine reads and places them.

#include "document/TMDIChild.h"

#include "app/ErrorReporting.h"
#include "app/MessageBoxes.h"
#include "app/OptionSettings.h"
#include "app/TMainForm.h"
#include "engine/TTextEngine.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>

namespace {

const QStringList insertFileFilters = {
    QStringLiteral("ﾃｷｽﾄ文書 (*.txt)"),
    QStringLiteral("ﾘｯﾁﾃｷｽﾄ形式 (*.rtf)"),
};

const QStringList pictureFilters = {
    QStringLiteral("Windows Bitmap(*.bmp)"),
    QStringLiteral("Tagged Image Format(*.TIF)"),
    QStringLiteral("Windows Metafile(*.WMF)"),
    QStringLiteral("JPEG 形式 (*.jpg)"),
};

// The filter of `typeName` (1-based), or `current` when it names none.
int filterIndexFor(const QStringList &filters, const QString &typeName, int current)
{
    const qsizetype index = filters.indexOf(typeName);
    return index >= 0 ? int(index) + 1 : current;
}

// 1 (store the picture's data) for PictINS 0, 0 (link to the file) for 1.
int imageFlag(int pictIns)
{
    return (pictIns + 1) % 2;
}

// Where a picture or object placed at a fixed position goes: half an inch in
// from the left and half an inch below the top of what is visible.
constexpr int FixedOffset = 720;

} // namespace

// Shows OpenDialog1 with `filters`, the filter index chosen from `typeName`
// or kept from the last use; returns the chosen file, or empty when cancelled.
QString TMDIChild::chooseInsertFile(const QString &title, const QStringList &filters, const QString &folder,
                                    const QString &typeName)
{
    QFileDialog *dialog = openDialog();
    // An empty name does not clear the file the dialog's list still has
    // selected from the last use, which would win over a newly typed name.
    dialog->selectFile(QString());
    for (QAbstractItemView *view : dialog->findChildren<QAbstractItemView *>())
        view->clearSelection();
    dialog->setWindowTitle(title);
    dialog->setNameFilters(filters);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog->setDirectory(folder);
    int index = filterIndexFor(filters, typeName, m_openFilterIndex);
    if (index < 1 || index > filters.size())
        index = 1;
    dialog->selectNameFilter(filters.at(index - 1));
    const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
    m_openFilterIndex = int(filters.indexOf(dialog->selectedNameFilter())) + 1;
    return accepted ? dialog->selectedFiles().constFirst() : QString();
}

// An insert the engine could not do goes to the general error box; the
// document stays as the engine left it.
void TMDIChild::reportEngineFailure(bool succeeded)
{
    if (!succeeded)
        tamapiko::app::showApplicationError(TextEngine1->errorString());
}

void TMDIChild::File2Click()
{
    OptionSettings &settings = m_frame->optionSettings;
    IniOption(settings);
    // The insert-file command leaves the dialog's options as they are: the
    // toolkit's default until a picture command asks for existing files.
    const QString fileName = chooseInsertFile(QStringLiteral("ﾃｷｽﾄの挿入"), insertFileFilters, settings.FileIN,
                                              settings.FileINTyp);
    if (fileName.isEmpty())
        return;
    const QString extension = QStringLiteral(".") + QFileInfo(fileName).suffix().toUpper();
    if (extension == QLatin1String(".TXT")) {
        reportEngineFailure(TextEngine1->InsertTextFile(fileName));
    } else if (extension == QLatin1String(".RTF")) {
        reportEngineFailure(TextEngine1->InsertRtfFile(fileName, 0));
    } else {
        tamapiko::app::showErrorBox(m_frame, QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!"));
    }
}

QString TMDIChild::choosePicture(int *flag)
{
    OptionSettings &settings = m_frame->optionSettings;
    IniOption(settings);
    *flag = imageFlag(settings.PictINS);
    openDialog()->setFileMode(QFileDialog::ExistingFile);
    openDialog()->setOption(QFileDialog::ReadOnly, false);
    return chooseInsertFile(QStringLiteral("イメージ挿入"), pictureFilters, settings.FileImage, settings.FileImageTyp);
}

void TMDIChild::Image_Fixed1Click()
{
    int flag = 0;
    const QString fileName = choosePicture(&flag);
    if (fileName.isEmpty())
        return;
    const int y = TextEngine1->ScrollPosY() + FixedOffset;
    reportEngineFailure(TextEngine1->InsertObjectFixed(0, fileName, FixedOffset, y, 100, 100, 0, flag, 3, 3, 0,
                                                       0, 0, 0, 0) == 0);
}

void TMDIChild::Image_Char1Click()
{
    int flag = 0;
    const QString fileName = choosePicture(&flag);
    if (fileName.isEmpty())
        return;
    reportEngineFailure(TextEngine1->InsertObjectAsChar(0, fileName, -1, 100, 100, 0, flag, 0) == 0);
}

// Objects: the engine asks for the file itself. Cancelling its dialog is no
// failure.
void TMDIChild::Objct1Click()
{
    const int y = TextEngine1->ScrollPosY() + FixedOffset;
    const int result = TextEngine1->InsertObjectFixed(1, QStringLiteral("0"), FixedOffset, y, 100, 100, 0, 0, 3, 3,
                                                      0, 0, 0, 0, 0);
    reportEngineFailure(result == 0 || result == TTextEngine::InsertCancelled);
}

void TMDIChild::Object_Char1Click()
{
    const int result = TextEngine1->InsertObjectAsChar(1, QStringLiteral("0"), -1, 100, 100, 0, 0, 0);
    reportEngineFailure(result == 0 || result == TTextEngine::InsertCancelled);
}
