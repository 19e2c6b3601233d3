#pragma once

// Reads RTF into a QTextDocument through a QTextCursor, so that the same
// code loads a file into an empty document and inserts a file or a pasted
// clip at the caret.

#include "engine/DocumentModel.h"
#include "engine/formats/word/DocumentBuilder.h"

#include <QByteArrayView>
#include <QTextCursor>

#include <memory>

namespace tamapiko::engine::rtf {

class RtfReader
{
public:
    // Load: the cursor is in an empty document that becomes the file;
    // Insert: the content goes in at the cursor, around existing text.
    using Mode = word::DocumentBuilder::Mode;

    RtfReader(QTextCursor cursor, Mode mode);
    ~RtfReader();

    // Returns false with a one-line reason when the data is not RTF.
    // Damaged RTF is read as far as it makes sense, never refused halfway.
    bool read(QByteArrayView data, QString *error);

    // The folder links relative to the file start from (the file's own).
    void setBaseFolder(const QString &folder);

    // Moves the headers and footers read (in Load mode) into `set`.
    void takeHeaderFooters(HeaderFooterSet &set);

    // Whether the file gave a page size or margins (\paperw, \margl…).
    bool hasPageSetup() const;
    // The file's page set-up; what it leaves out takes RTF's defaults
    // (Letter, margins 1800/1440 twips).
    PageSetup pageSetup() const;

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace tamapiko::engine::rtf
