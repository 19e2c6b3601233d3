#pragma once

// Opening documents: the frame's open dialog and the filling of a newly
// created document window from a file.

#include <QString>

#include <functional>

class QFileDialog;
class TMainForm;
class TMDIChild;

namespace tamapiko::app {

// The open dialog's filter index for the type name FileOpenTyp, or
// `current` (the filter last used) when the name is none of the five.
int openFilterIndex(const QString &typeName, int current);

// Reloads the settings, sets the frame's open dialog up from them and runs
// it: the chosen file's full path, or "" when cancelled.
QString askOpenFileName(TMainForm &frame);
// Tests answer the open dialog through a hook; it gets the dialog as set up.
using OpenNameHook = std::function<QString(QFileDialog &dialog)>;
void setOpenNameHook(OpenNameHook hook);

// Fills `window` (just created for `path`) from the file, in the format its
// extension names. An unsupported extension is refused with a message and
// leaves the empty window; a file that cannot be read is reported with
// "Error opening <path>" and its window is closed again.
void openDocumentFile(TMainForm &frame, TMDIChild &window, const QString &path);

} // namespace tamapiko::app
