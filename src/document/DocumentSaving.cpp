#include "document/DocumentSaving.h"

#include "app/DocumentAutosave.h"
#include "app/MessageBoxes.h"
#include "app/OptionSettings.h"
#include "app/TMainForm.h"
#include "app/WaitCursor.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "document/DocumentPrompts.h"
#include "document/TMDIChild.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tamapiko::document {

namespace {

QString askForFileName(TMDIChild &window)
{
    setUpSaveDialog(*window.saveDialog(), PrepareSaveDialog(window.frame()->optionSettings));
    return askSaveFileName(window);
}

} // namespace

SaveDialogPresets PrepareSaveDialog(OptionSettings &settings)
{
    IniOption(settings);
    SaveDialogPresets presets;
    // .txm is the choice for its own name and for any text that names no type.
    if (const DocumentFileType *type = fileTypeByName(settings.FileSaveTyp)) {
        presets.filterIndex = type->filterIndex;
        presets.defaultExtension = type->defaultExtension;
    }
    const QString wildcard = QStringLiteral("*.") + presets.defaultExtension;
    const QString &folder = settings.FileSave;
    presets.initialFileName = folder.isEmpty() || folder.endsWith(u'/') ? folder + wildcard
                                                                          : folder + u'/' + wildcard;
    return presets;
}

void setUpSaveDialog(QFileDialog &dialog, const SaveDialogPresets &presets)
{
    dialog.setWindowTitle(QStringLiteral("ﾌｧｲﾙ名を付けて保存"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Saving over an existing file replaces it without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = documentNameFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(presets.filterIndex - 1, filters.first()));
    dialog.setDefaultSuffix(presets.defaultExtension);
    const QFileInfo initial(presets.initialFileName);
    if (presets.initialFileName.contains(u'/') && initial.absoluteDir().exists())
        dialog.setDirectory(initial.absolutePath());
    dialog.selectFile(initial.fileName());
}

SaveOutcome Save1Click(TMDIChild &window)
{
    QString fileName;
    if (window.windowTitle().startsWith(QLatin1String("NONAME"))) {
        fileName = askForFileName(window);
        if (fileName.isEmpty())
            return SaveOutcome::Cancelled;
    } else {
        fileName = window.windowTitle();
    }
    const SaveOutcome outcome = SaveByExtension(window, fileName);
    // The chosen name becomes the caption even when the write failed, but
    // never a name we cannot save under: the next save would fail again.
    if (outcome != SaveOutcome::Unsupported)
        window.setWindowTitle(fileName);
    return outcome;
}

SaveOutcome SaveAs1Click(TMDIChild &window)
{
    const QString fileName = askForFileName(window);
    if (fileName.isEmpty())
        return SaveOutcome::Cancelled;
    return SaveByExtension(window, fileName);
}

SaveOutcome SaveByExtension(TMDIChild &window, const QString &fileName)
{
    const std::optional<int> format = formatForFileName(fileName);
    if (!format) {
        app::showErrorBox(&window, QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!"));
        return SaveOutcome::Unsupported;
    }
    return WriteDocumentFile(window, fileName, *format) ? SaveOutcome::Written : SaveOutcome::NotWritten;
}

bool WriteDocumentFile(TMDIChild &window, const QString &fileName, int format)
{
    bool written = false;
    {
        const WaitCursor hourglass;
        QString reason;
        written = saveDocumentFile(*window.TextEngine1, fileName, format, window.frame()->PageSettings, &reason);
    }
    if (!written) {
        app::showErrorBox(&window, QStringLiteral("Error saving file ") + fileName);
        return false;
    }
    window.setWindowTitle(fileName);
    window.Modified = false;
    window.autosave()->discard();
    return true;
}

} // namespace tamapiko::document
