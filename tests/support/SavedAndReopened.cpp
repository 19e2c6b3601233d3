#include "SavedAndReopened.h"

#include "engine/TTextEngine.h"

#include <QTemporaryDir>

namespace tamapiko::test {

TTextEngine *savedAndReopened(TTextEngine &read, TTextEngine &reopened, int savedAs,
                              const QTemporaryDir &dir)
{
    if (savedAs == 0)
        return &read;
    const QString path = dir.filePath(QStringLiteral("saved.%1").arg(savedAs));
    if (read.SaveDocument(path, 0, savedAs, 0) != 0 || reopened.LoadDocument(path, 0, savedAs, 0) != 0)
        return nullptr;
    return &reopened;
}

} // namespace tamapiko::test
