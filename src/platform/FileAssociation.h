#pragma once

// Registration of tamapiko as the opener of .txm files.
//
// One interface, so that a Windows build could keep it in the registry while
// the freedesktop build keeps it in desktop entries, shared MIME info and
// mimeapps.list.

#include <memory>

class FileAssociation
{
public:
    virtual ~FileAssociation() = default;

    // The platform's implementation.
    static std::unique_ptr<FileAssociation> create();

    // At the frame's first showing: check and, where needed, write the
    // association. True when anything was written (the caller notifies).
    virtual bool checkAtStartup() = 0;
    // At exit, with the setting RegSave: rewrite when the settings say so.
    // Never throws; a failed write never stops the program from closing.
    virtual void rewriteAtExit(int regSave) = 0;
    // Tell the desktop that associations changed.
    virtual void notifyShell() = 0;
};
