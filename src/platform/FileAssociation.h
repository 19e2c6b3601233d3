#pragma once

// Registration of tamapiko as the opener of .txm files.
//
// One interface, so that a Windows build could keep it in the registry while
// the freedesktop build keeps it in desktop entries, shared MIME info and
// mimeapps.list.

#include <QString>

#include <memory>

class FileAssociation
{
public:
    virtual ~FileAssociation() = default;

    // The platform's implementation.
    static std::unique_ptr<FileAssociation> create();

    // At the frame's first showing: find where the program was installed and,
    // when it was, make .txm files open with it unless they already do.
    // True when anything was written (the caller then calls notifyShell()).
    // Does nothing at all when the program was not installed.
    virtual bool checkAtStartup() = 0;
    // At exit, with the setting RegSave: when the program was installed and
    // RegSave is 0, write the whole association again. True when the shell
    // should be told (the type's icon changed); the caller calls notifyShell().
    // Never throws; a failed write never stops the program from closing.
    virtual bool rewriteAtExit(int regSave) = 0;
    // Tell the desktop that associations changed.
    virtual void notifyShell() = 0;

    // The installed program's path found at start-up; empty when not installed.
    virtual QString registeredExePath() const = 0;
    // True once the start-up check found or wrote the association.
    virtual bool associationChecked() const = 0;
};
