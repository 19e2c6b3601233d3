#pragma once

// EditCommands: the edits a user makes, each one undo step of the right kind.
//
// Every edit of the engine goes through here so that undo grouping and the
// undo kinds stay right: typing joins per word or pause, deleting joins runs
// of Backspace or Delete, formatting is always a step of its own.

#include <QString>
#include <QTextCursor>

#include <functional>

class QTextBlockFormat;
class QTextCharFormat;
class QTextDocumentFragment;

namespace tamapiko::engine {

class UndoKindTracker;

// What a change to the document is. Each edit is one undo step; the kind
// Undo reports follows from it.
enum class EditKind {
    Typing,
    Deletion,
    Formatting,     // character and paragraph formats, the ruler
    Table,          // inserting, changing and deleting tables, rows, cells
    Frame,          // paragraph frames and their style
    Picture,        // inserted pictures and objects
    Paste,          // paste and drop
    Replace,        // find and replace
};

class EditCommands
{
public:
    explicit EditCommands(UndoKindTracker &tracker) : m_tracker(tracker) {}

    // Types text at the caret, replacing the selection; in overwrite mode
    // replaces as many characters as it types (never the paragraph end).
    void type(QTextCursor &cursor, const QString &text, bool overwrite = false);
    void newParagraph(QTextCursor &cursor);
    void lineBreak(QTextCursor &cursor);
    // Backspace and Delete: the selection, or one character (word with Ctrl).
    void deleteBackward(QTextCursor &cursor, bool word);
    void deleteForward(QTextCursor &cursor, bool word);
    // Removes the selection as one deletion step; false when none.
    bool removeSelection(QTextCursor &cursor);
    // Inserts a piece of rich text (paste, drop, an inserted file).
    void insertFragment(QTextCursor &cursor, const QTextDocumentFragment &fragment);
    void mergeCharFormat(QTextCursor &cursor, const QTextCharFormat &format);
    void mergeBlockFormat(QTextCursor &cursor, const QTextBlockFormat &format,
                          EditKind kind = EditKind::Formatting);

    // Any other edit: `change` runs on `cursor` as one undo step of `kind`.
    void apply(QTextCursor &cursor, EditKind kind, const std::function<void(QTextCursor &)> &change);

private:
    void deleteTowards(QTextCursor &cursor, QTextCursor::MoveOperation move);

    UndoKindTracker &m_tracker;
};

} // namespace tamapiko::engine
