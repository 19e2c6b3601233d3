#pragma once

#include <QImage>
#include <QString>

class QTextDocument;

namespace tamapiko::engine {

// The picture a document keeps as an image resource under `name`, whether it
// was stored as an image, a pixmap or encoded bytes; null when there is none.
QImage resourceImage(const QTextDocument *document, const QString &name);

} // namespace tamapiko::engine
