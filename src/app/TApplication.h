#pragma once

// The application object: loads the Japanese translations of Qt's own
// dialogs and catches every error that escapes an event handler, shows it in
// the general error box and lets the program run on.

#include <QApplication>

class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Installs Qt's Japanese translations (file, colour and print dialogs).
    // False when Debian's qt6-translations-l10n is not installed.
    static bool installJapaneseTranslations(QCoreApplication *app);
};
