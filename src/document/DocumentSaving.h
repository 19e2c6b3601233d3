#pragma once

// Save and Save As of a document window. The caption is the document's
// identity: one starting with "NONAME" has no file yet and is saved through
// the save dialog; any other caption is the path to write, in the format its
// extension names.

#include <QString>

class QFileDialog;
class TMDIChild;
struct OptionSettings;

namespace tamapiko::document {

// The save dialog's presets, computed afresh before each save dialog.
struct SaveDialogPresets
{
    int filterIndex = 2;
    QString defaultExtension = QStringLiteral("txm");
    QString initialFileName;       // FileSave + "/*." + extension
};

// Reloads the settings from Option.ini into `settings`, then derives the
// presets from FileSaveTyp and FileSave (.txm for any unknown type).
SaveDialogPresets PrepareSaveDialog(OptionSettings &settings);
// Title, filters, presets and options of a save dialog.
void setUpSaveDialog(QFileDialog &dialog, const SaveDialogPresets &presets);

enum class SaveOutcome {
    Written,      // the file was written; caption and Modified updated
    NotWritten,   // a failed write (reported)
    Unsupported,  // an extension outside the table (reported); nothing changed
    Cancelled,    // the user cancelled the save dialog
};

// "上書き保存": an unnamed document asks for a name first, then takes it as
// its caption whether or not the file could be written, unless its
// extension is one we cannot write.
SaveOutcome Save1Click(TMDIChild &window);
// "名前を付けて保存": the caption changes only with a successful write.
SaveOutcome SaveAs1Click(TMDIChild &window);

// Writes in the format of the name's extension; an extension outside the
// table writes nothing and says "ｻﾎﾟｰﾄされていないﾌｧｲﾙ形式です!".
SaveOutcome SaveByExtension(TMDIChild &window, const QString &fileName);
// Writes the file and reports a failure as "Error saving file <name>". On
// success the caption becomes `fileName` and Modified is cleared.
bool WriteDocumentFile(TMDIChild &window, const QString &fileName, int format);

} // namespace tamapiko::document
