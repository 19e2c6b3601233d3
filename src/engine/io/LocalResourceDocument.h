#pragma once

// A QTextDocument that fetches nothing by itself. Qt's own loadResource()
// opens whatever a document names (an HTML background, a CSS
// background-image, a picture path) with a blocking read of unlimited size,
// so a FIFO hangs the program and /dev/zero fills the memory; and it would
// ask a network-aware parent for remote addresses. Here only local regular
// files of a bounded size are read, and nothing else is.

#include <QTextDocument>

namespace tamapiko::engine {

// Pictures larger than this are not shown.
constexpr qint64 LargestResource = 64 * 1024 * 1024;

class LocalResourceDocument : public QTextDocument
{
    Q_OBJECT

public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};

} // namespace tamapiko::engine
