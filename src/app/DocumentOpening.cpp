#include "app/DocumentOpening.h"

#include "app/MessageBoxes.h"
#include "app/OptionSettings.h"
#include "app/TMainForm.h"
#include "app/WaitCursor.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "document/TMDIChild.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tamapiko::app {

namespace {

OpenNameHook &openNameHook()
{
    static OpenNameHook hook;
    return hook;
}

// The frame's one open dialog: it keeps the filter last used between uses.
QFileDialog &openDialog(TMainForm &frame)
{
    auto *dialog = frame.findChild<QFileDialog *>(QStringLiteral("OpenDialog"), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new QFileDialog(&frame);
        dialog->setObjectName(QStringLiteral("OpenDialog"));
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setNameFilters(document::documentNameFilters());
    }
    return *dialog;
}

int selectedFilterIndex(const QFileDialog &dialog)
{
    return int(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
}

} // namespace

int openFilterIndex(const QString &typeName, int current)
{
    const document::DocumentFileType *type = document::fileTypeByName(typeName);
    return type ? type->filterIndex : current;
}

void setOpenNameHook(OpenNameHook hook)
{
    openNameHook() = std::move(hook);
}

QString askOpenFileName(TMainForm &frame)
{
    IniOption(frame.optionSettings);
    QFileDialog &dialog = openDialog(frame);
    dialog.setWindowTitle(QStringLiteral("ﾌｧｲﾙを開く"));
    dialog.selectFile(QString());
    const QString folder = frame.optionSettings.FileOpen;
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog.setDirectory(folder);
    const int index = openFilterIndex(frame.optionSettings.FileOpenTyp, qMax(1, selectedFilterIndex(dialog)));
    dialog.selectNameFilter(dialog.nameFilters().value(index - 1));

    if (openNameHook())
        return openNameHook()(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void openDocumentFile(TMainForm &frame, TMDIChild &window, const QString &path)
{
    const std::optional<int> format = document::formatForFileName(path);
    if (!format) {
        showErrorBox(&frame, QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!"));
        return;
    }

    bool loaded = false;
    {
        const WaitCursor hourglass;
        QString reason;
        loaded = document::loadDocumentFile(*window.TextEngine1, path, *format, frame.PageSettings, &reason);
        window.setWindowTitle(path);
    }
    if (!loaded) {
        showErrorBox(&frame, QStringLiteral("Error opening ") + path);
        // Only the window made for this file goes, without a question: it
        // holds nothing of the user's. The other documents stay open.
        window.Modified = false;
        window.close();
    }
}

} // namespace tamapiko::app
