#pragma once

// ClipboardBridge: rich text in and out of the engine by MIME data, for the
// clipboard and for drag and drop, and whole documents pasted in (inserted
// files).
//
// Out: the selection in the engine's own file format (so that a paste
// between our windows loses nothing), HTML, plain text, and RTF once an RTF
// filter is registered. In: our own format first, then RTF, HTML (through
// the HTML reader, as an HTML file is opened), a picture, plain text.

class QMimeData;
class QTextCursor;
class QTextDocument;

namespace tamapiko::engine {

class DocumentModel;
class EditCommands;

class ClipboardBridge
{
public:
    ClipboardBridge(QTextDocument *document, EditCommands &editor);

    QMimeData *mimeData(const QTextCursor &selection) const;
    static bool canInsert(const QMimeData *mime);
    // True when the data names files on this machine and nothing else: a
    // drop of files means "open these", never "type their URLs".
    static bool carriesFiles(const QMimeData *mime);
    // Inserts at `at` (replacing its selection) as one step.
    bool insert(const QMimeData *mime, QTextCursor &at);
    // Inserts all of another document, pictures included, as one step.
    void insertDocument(DocumentModel &source, QTextCursor &at);

private:
    QTextDocument *m_document;
    EditCommands &m_editor;
};

} // namespace tamapiko::engine
