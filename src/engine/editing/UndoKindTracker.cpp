#include "engine/editing/UndoKindTracker.h"

#include <QTextCursor>
#include <QTextDocument>

namespace tamapiko::engine {

namespace {

bool endsWord(QChar c)
{
    return c.isSpace() || c.isPunct() || c == QChar(0x3000);
}

} // namespace

UndoKindTracker::UndoKindTracker(QTextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
{
}

bool UndoKindTracker::continues(Kind kind, int position, const QString &typed) const
{
    // Only onto the level the last edit left, and only if nothing (an undo,
    // a redo) moved along the levels since.
    const int levels = m_document->availableUndoSteps();
    if (kind != m_lastKind || position != m_lastPosition || levels == 0 || levels != m_levelsAfterLast)
        return false;
    if (!m_lastTime.isValid() || m_lastTime.elapsed() > PauseMs)
        return false;
    if (kind == Typing) {
        // A word and the blanks after it make one step; the next word starts
        // a new one.
        return !(m_lastEndedWord && !typed.isEmpty() && !endsWord(typed.front()));
    }
    return kind == Deletion;
}

void UndoKindTracker::beginEdit(QTextCursor &cursor, Kind kind, const QString &typed)
{
    if (m_editDepth++ == 0) {
        m_editKind = kind;
        m_levelsBefore = m_document->availableUndoSteps();
    }
    if ((kind == Typing || kind == Deletion) && continues(kind, cursor.position(), typed))
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    if (kind == Typing && !typed.isEmpty())
        m_lastEndedWord = endsWord(typed.back());
}

void UndoKindTracker::endEdit(QTextCursor &cursor)
{
    cursor.endEditBlock();
    if (--m_editDepth > 0)
        return;
    // An edit that changed nothing, or joined the last level, leaves no new
    // level; a new one replaces whatever Redo could have brought back.
    const int levels = m_document->availableUndoSteps();
    if (levels > m_levelsBefore) {
        m_kinds.resize(m_levelsBefore, Formatting);
        m_kinds.resize(levels, m_editKind);
    }
    m_levelsAfterLast = levels;
    m_lastKind = m_editKind;
    m_lastPosition = cursor.position();
    m_lastTime.start();
    m_editKind = None;
}

int UndoKindTracker::canUndo() const
{
    const int undo = m_document->availableUndoSteps();
    if (undo <= 0)
        return None;
    return undo - 1 < int(m_kinds.size()) ? m_kinds[undo - 1] : Typing;
}

int UndoKindTracker::canRedo() const
{
    // QTextDocument::availableRedoSteps() counts one short; whether there is
    // anything to redo at all is isRedoAvailable().
    if (!m_document->isRedoAvailable())
        return 0;
    const int undo = m_document->availableUndoSteps();
    const Kind kind = undo < int(m_kinds.size()) ? m_kinds[undo] : Typing;
    return 9 + kind;
}

bool UndoKindTracker::undo(QTextCursor *cursor)
{
    if (!m_document->isUndoAvailable())
        return false;
    m_document->undo(cursor);
    m_lastKind = None;
    return true;
}

bool UndoKindTracker::redo(QTextCursor *cursor)
{
    if (!m_document->isRedoAvailable())
        return false;
    m_document->redo(cursor);
    m_lastKind = None;
    return true;
}

void UndoKindTracker::reset()
{
    m_kinds.clear();
    m_levelsAfterLast = -1;
    m_lastKind = None;
}

} // namespace tamapiko::engine
