#pragma once

// Reads a Word 97-2003 binary document (the WordDocument stream of a
// compound file, with its table and data streams) and describes it to a
// DocumentBuilder: the main text with its character and paragraph
// properties, tables, lists, fields' results, pictures and the first
// section's page, and the first section's headers and footers as stories of
// their own. Notes, comments and text boxes live in other parts of the text
// and never leak into the body.

#include "engine/DocumentModel.h"
#include "engine/formats/word/WordSummary.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace tamapiko::engine::word {

class DocumentBuilder;

class WordReader
{
public:
    explicit WordReader(DocumentBuilder &builder);
    ~WordReader();

    // On failure returns false with a one-line reason for the user; the
    // builder has then received nothing.
    bool read(const QByteArray &file, QString *error);

    // Moves the headers and footers read into `set` (replacing its own).
    void takeHeaderFooters(HeaderFooterSet &set);

    bool hasPageSetup() const;
    PageSetup pageSetup() const;
    // Title, author and the like, from the summary information stream.
    DocumentSummary summary() const;

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace tamapiko::engine::word
