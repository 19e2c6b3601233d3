#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>

namespace tamapiko::test {

QString sharedDir()
{
    const QString configured = qEnvironmentVariable("TAMAPIKO_SHARED_DIR", QStringLiteral(TAMAPIKO_SHARED_DIR));
    const QFileInfo info(configured);
    return info.isDir() ? info.canonicalFilePath() : QString();
}

} // namespace tamapiko::test
