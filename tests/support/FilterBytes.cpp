#include "support/FilterBytes.h"

#include "engine/formats/DocumentFilter.h"

#include <QBuffer>
#include <QDebug>

namespace tamapiko::test {

bool readWith(engine::DocumentFilter &&filter, const QByteArray &bytes, engine::DocumentModel &model, QString *error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QString reason;
    const bool ok = filter.read(buffer, model, {}, &reason);
    if (error)
        *error = reason;
    else if (!ok)
        qWarning() << "read failed:" << reason;
    return ok;
}

QByteArray writeWith(engine::DocumentFilter &&filter, const engine::DocumentModel &model)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!filter.write(buffer, model, {}, &error))
        qWarning() << "write failed:" << error;
    return buffer.data();
}

} // namespace tamapiko::test
