#pragma once

// UndoKindTracker: what kind of step each undo level holds, and when typing
// joins the previous step.
//
// QTextDocument's undo stack knows commands, not what the user did. The
// engine reports the kind of the step that Undo or Redo would act on
// (typing, deletion, formatting), so this class keeps one kind per undo
// level beside the document's stack. Every edit comes through the one edit
// path (EditCommands), which says its kind: an edit that leaves a new level
// behind records its kind there, dropping the levels that Redo could have
// brought back; undoing and redoing only move along the levels.

#include <QElapsedTimer>
#include <QObject>

#include <vector>

class QTextCursor;
class QTextDocument;

namespace tamapiko::engine {

class UndoKindTracker : public QObject
{
    Q_OBJECT

public:
    enum Kind { None = 0, Typing = 1, Deletion = 2, Formatting = 3 };

    explicit UndoKindTracker(QTextDocument *document, QObject *parent = nullptr);

    // One user edit: opens (or, for typing and deleting that continues the
    // previous edit, reopens) an edit block on `cursor`. `typed` is the text
    // about to be typed, for the word rule.
    void beginEdit(QTextCursor &cursor, Kind kind, const QString &typed = QString());
    void endEdit(QTextCursor &cursor);

    // The next edit starts a step of its own (the caret moved, a pause...).
    void breakGroup() { m_lastKind = None; }

    int canUndo() const;   // 0, or the Kind of the step
    int canRedo() const;   // 0, or 10 + Kind - 1
    // Undo or redo one step, leaving `cursor` where the step happened.
    bool undo(QTextCursor *cursor);
    bool redo(QTextCursor *cursor);
    // The document's history was emptied (a new document was loaded).
    void reset();

    // Typing that pauses longer than this starts a new step.
    static constexpr int PauseMs = 1500;

private:
    bool continues(Kind kind, int position, const QString &typed) const;

    QTextDocument *m_document;
    std::vector<Kind> m_kinds;       // one per undo level, then the redo levels
    Kind m_editKind = None;          // the kind of the edit in progress
    int m_editDepth = 0;
    int m_levelsBefore = 0;          // undo levels when the edit began
    int m_levelsAfterLast = -1;      // undo levels when the last edit ended

    // Grouping of typing and deleting.
    Kind m_lastKind = None;
    int m_lastPosition = -1;
    bool m_lastEndedWord = false;
    QElapsedTimer m_lastTime;
};

} // namespace tamapiko::engine
