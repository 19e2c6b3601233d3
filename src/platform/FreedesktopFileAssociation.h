#pragma once

// The .txm association on freedesktop desktops.
//
// What a Windows build keeps in the registry maps here to:
//  - the installer's application-paths entry: an installed desktop entry
//    tamapiko.desktop in the XDG applications folders; the program path is
//    the one its TryExec or Exec line names (only read);
//  - ".TXM" = "MOXwp", the type's name and its icon: a shared-MIME-info
//    package in $XDG_DATA_HOME/mime/packages/ mapping *.txm (any case) to
//    application/x-moxwp, with the type's comment and icon;
//  - the type's open command: the default handler of application/x-moxwp in
//    $XDG_CONFIG_HOME/mimeapps.list, the installed desktop entry, whose Exec
//    passes the file as one argument;
//  - notifying the shell: update-mime-database and update-desktop-database
//    run on the user's folders.
// Only the user's own folders are ever written.

#include "platform/FileAssociation.h"

#include <QStringList>

namespace tamapiko::platform {

struct XdgFolders
{
    QString dataHome;      // $XDG_DATA_HOME
    QStringList dataDirs;  // $XDG_DATA_DIRS, most important first
    QString configHome;    // $XDG_CONFIG_HOME

    // From the environment, with the defaults of the XDG base directory rules.
    static XdgFolders fromEnvironment();
};

class FreedesktopFileAssociation : public FileAssociation
{
public:
    static const QString MimeType;          // application/x-moxwp
    static const QString TypeComment;       // the type's display name
    static const QString TypeIcon;          // icon name of the document type
    static const QString DesktopEntryId;    // tamapiko.desktop

    explicit FreedesktopFileAssociation(XdgFolders folders);

    bool checkAtStartup() override;
    bool rewriteAtExit(int regSave) override;
    void notifyShell() override;
    QString registeredExePath() const override { return m_registeredExePath; }
    bool associationChecked() const override { return m_associationChecked; }

    // The MIME type that *.txm files have now (user folder first), or "".
    QString typeOfTxmFiles() const;
    // The icon named by the user's own package for the type, or "".
    QString iconOfUserPackage() const;
    // The desktop entry mimeapps.list names as the type's default, or "".
    QString defaultHandler() const;

    QString userPackagePath() const;
    QString mimeAppsListPath() const;

    // The program path of a desktop entry: its TryExec, else the first word
    // of its Exec; "" when the entry has neither or is hidden.
    static QString programOfDesktopEntry(const QString &desktopFilePath);
    // Splits an Exec value into arguments by the desktop-entry quoting rules.
    static QStringList splitExec(const QString &exec);

private:
    QString findRegisteredProgram() const;
    bool writeUserPackage();
    bool writeDefaultHandler();

    XdgFolders m_folders;
    QString m_registeredExePath;
    bool m_associationChecked = false;
};

} // namespace tamapiko::platform
