#include "SavedAndReopened.h"

#include "TestSupport.h"
#include "engine/TTextEngine.h"

#include <QTemporaryDir>
#include <QTest>

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

TTextEngine *rtfSavedAndReopened(const QByteArray &rtf, TTextEngine &read, TTextEngine &reopened, int savedAs,
                                 const QTemporaryDir &dir)
{
    const QString path = writeFile(dir, QStringLiteral("in.rtf"), rtf);
    if (path.isEmpty() || read.LoadDocument(path, 0, 5, 0) != 0)
        return nullptr;
    return savedAndReopened(read, reopened, savedAs, dir);
}

void addRtfSavedAsRows()
{
    QTest::addColumn<int>("savedAs");   // 0: as read; otherwise the format saved to and read again
    QTest::newRow("rtf") << 0;
    QTest::newRow("rtf saved as rtf") << 5;
    QTest::newRow("rtf saved as native") << 3;
}

} // namespace tamapiko::test
