#include "app/TApplication.h"

#include "app/ErrorReporting.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("tamapiko"));
    setApplicationDisplayName(QStringLiteral("たまぴこ"));
    installJapaneseTranslations(this);
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        tamapiko::app::reportException(std::current_exception());
    }
    return false;
}

bool TApplication::installJapaneseTranslations(QCoreApplication *app)
{
    // The user interface is Japanese whatever the desktop's language, so the
    // toolkit's own dialogs must be too.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_ja"), dir)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
