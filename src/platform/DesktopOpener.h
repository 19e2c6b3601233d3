#pragma once

// Opening a file with whatever program the desktop associates with it.

#include <QString>

namespace tamapiko::platform {

// Hands `path` to the desktop's opener (xdg-open) as one argument, so blanks,
// quotes and Japanese in the path need no care, and returns at once.
// False when the opener could not be started; whether the file then opens is
// up to the desktop.
bool ShellOpenFile(const QString &path);

} // namespace tamapiko::platform
