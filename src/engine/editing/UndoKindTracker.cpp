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
    connect(document, &QTextDocument::undoCommandAdded, this, &UndoKindTracker::onUndoCommandAdded);
    connect(document, &QTextDocument::contentsChange, this, &UndoKindTracker::onContentsChange);
}

bool UndoKindTracker::continues(Kind kind, int position, const QString &typed) const
{
    if (kind != m_lastKind || position != m_lastPosition || m_document->availableUndoSteps() == 0)
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
        m_explicitKind = kind;
        m_sawInsert = m_sawRemove = false;
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
    m_lastKind = m_explicitKind;
    m_lastPosition = cursor.position();
    m_lastTime.start();
    m_explicitKind = None;
    // An edit block that changed nothing leaves no level behind.
    const int undo = m_document->availableUndoSteps();
    if (undo < int(m_kinds.size()) && undo != m_knownUndo)
        m_knownUndo = undo;
}

void UndoKindTracker::onContentsChange(int, int removed, int added)
{
    if (m_inUndoRedo)
        return;
    if (added > removed)
        m_sawInsert = true;
    else if (removed > added)
        m_sawRemove = true;
    if (m_editDepth == 0)
        m_lastKind = None;   // someone else edited: never join across that
}

void UndoKindTracker::onUndoCommandAdded()
{
    Kind kind = m_explicitKind;
    if (kind == None)
        kind = m_sawInsert ? Typing : m_sawRemove ? Deletion : Formatting;
    const int undo = m_document->availableUndoSteps();
    if (undo > m_knownUndo) {
        m_kinds.resize(undo, kind);
        m_kinds[undo - 1] = kind;
    } else {
        m_kinds.resize(std::max(undo, 0));
    }
    m_knownUndo = undo;
    if (m_editDepth == 0)
        m_sawInsert = m_sawRemove = false;
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
    m_inUndoRedo = true;
    m_document->undo(cursor);
    m_inUndoRedo = false;
    m_knownUndo = m_document->availableUndoSteps();
    m_lastKind = None;
    return true;
}

bool UndoKindTracker::redo(QTextCursor *cursor)
{
    if (!m_document->isRedoAvailable())
        return false;
    m_inUndoRedo = true;
    m_document->redo(cursor);
    m_inUndoRedo = false;
    m_knownUndo = m_document->availableUndoSteps();
    m_lastKind = None;
    return true;
}

void UndoKindTracker::reset()
{
    m_kinds.clear();
    m_knownUndo = m_document->availableUndoSteps();
    m_lastKind = None;
    m_sawInsert = m_sawRemove = false;
}

} // namespace tamapiko::engine
