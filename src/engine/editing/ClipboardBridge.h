#pragma once

// ClipboardBridge: rich text in and out of the engine by MIME data, for the
// clipboard and for drag and drop, and whole documents pasted in (inserted
// files).
//
// Out: the engine's own fragment, HTML, plain text, and RTF once an RTF
// filter is registered. In: the engine's own fragment first, then RTF, HTML,
// a picture, plain text.

class QMimeData;
class QTextCursor;
class QTextDocument;

namespace tamapiko::engine {

class DocumentModel;
class TextEditor;
class UndoKindTracker;

class ClipboardBridge
{
public:
    ClipboardBridge(QTextDocument *document, TextEditor &editor, UndoKindTracker &tracker);

    QMimeData *mimeData(const QTextCursor &selection) const;
    static bool canInsert(const QMimeData *mime);
    // Inserts at `at` (replacing its selection) as one step.
    bool insert(const QMimeData *mime, QTextCursor &at);
    // Inserts all of another document, pictures included, as one step.
    void insertDocument(DocumentModel &source, QTextCursor &at);

private:
    QTextDocument *m_document;
    TextEditor &m_editor;
    UndoKindTracker &m_tracker;
};

} // namespace tamapiko::engine
