#include "engine/editing/EditCommands.h"

#include "engine/EngineProperties.h"
#include "engine/editing/TableCommands.h"
#include "engine/editing/UndoKindTracker.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace tamapiko::engine {

namespace {

// The three kinds Undo tells apart: text typed or put in, text taken out,
// and everything that changes how text looks or is arranged.
UndoKindTracker::Kind undoKindOf(EditKind kind)
{
    switch (kind) {
    case EditKind::Typing:
    case EditKind::Picture:
    case EditKind::Paste:
    case EditKind::Replace:
        return UndoKindTracker::Typing;
    case EditKind::Deletion:
        return UndoKindTracker::Deletion;
    case EditKind::Formatting:
    case EditKind::Table:
    case EditKind::Frame:
        return UndoKindTracker::Formatting;
    }
    return UndoKindTracker::Formatting;
}

} // namespace

void EditCommands::apply(QTextCursor &cursor, EditKind kind, const std::function<void(QTextCursor &)> &change)
{
    // Never joined to typing before it: a command is a step of its own.
    m_tracker.breakGroup();
    m_tracker.beginEdit(cursor, undoKindOf(kind));
    change(cursor);
    m_tracker.endEdit(cursor);
    m_tracker.breakGroup();
}

void EditCommands::type(QTextCursor &cursor, const QString &text, bool overwrite)
{
    if (text.isEmpty())
        return;
    m_tracker.beginEdit(cursor, UndoKindTracker::Typing, text);
    if (cursor.hasSelection()) {
        cursor.removeSelectedText();
    } else if (overwrite) {
        // Overwrite stops at the paragraph end.
        const QTextBlock block = cursor.block();
        const int available = block.position() + block.length() - 1 - cursor.position();
        const int count = std::min<int>(available, text.size());
        if (count > 0) {
            const QTextCharFormat format = cursor.charFormat();
            cursor.setPosition(cursor.position() + count, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            cursor.setCharFormat(format);
        }
    }
    cursor.insertText(text);
    m_tracker.endEdit(cursor);
}

void EditCommands::newParagraph(QTextCursor &cursor)
{
    m_tracker.beginEdit(cursor, UndoKindTracker::Typing, QStringLiteral("\n"));
    if (cursor.hasSelection())
        cursor.removeSelectedText();
    // Only the first paragraph of a section starts it; the new one goes on
    // in the same section.
    QTextBlockFormat format = cursor.blockFormat();
    format.clearProperty(ParagraphSectionStart);
    cursor.insertBlock(format);
    m_tracker.endEdit(cursor);
}

void EditCommands::lineBreak(QTextCursor &cursor)
{
    type(cursor, QString(QChar::LineSeparator));
}

bool EditCommands::removeSelection(QTextCursor &cursor)
{
    if (!cursor.hasSelection())
        return false;
    m_tracker.beginEdit(cursor, UndoKindTracker::Deletion);
    cursor.removeSelectedText();
    m_tracker.endEdit(cursor);
    return true;
}

void EditCommands::deleteBackward(QTextCursor &cursor, bool word)
{
    deleteTowards(cursor, word ? QTextCursor::PreviousWord : QTextCursor::PreviousCharacter);
}

void EditCommands::deleteForward(QTextCursor &cursor, bool word)
{
    deleteTowards(cursor, word ? QTextCursor::NextWord : QTextCursor::NextCharacter);
}

void EditCommands::deleteTowards(QTextCursor &cursor, QTextCursor::MoveOperation move)
{
    if (removeSelection(cursor))
        return;
    QTextCursor reach = cursor;
    if (!reach.movePosition(move, QTextCursor::KeepAnchor))
        return; // at the document's start or end
    // At a cell's edge or beside a table the key would take the table's
    // structure with it: it does nothing there.
    if (!withinOneCell(reach))
        return;
    m_tracker.beginEdit(cursor, UndoKindTracker::Deletion);
    cursor.setPosition(reach.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_tracker.endEdit(cursor);
}

void EditCommands::insertFragment(QTextCursor &cursor, const QTextDocumentFragment &fragment)
{
    if (fragment.isEmpty())
        return;
    apply(cursor, EditKind::Paste, [&fragment](QTextCursor &at) {
        if (at.hasSelection())
            at.removeSelectedText();
        at.insertFragment(fragment);
    });
}

void EditCommands::mergeCharFormat(QTextCursor &cursor, const QTextCharFormat &format)
{
    if (!cursor.hasSelection()) {
        // At the caret the format waits for what is typed next.
        cursor.mergeCharFormat(format);
        return;
    }
    apply(cursor, EditKind::Formatting, [&format](QTextCursor &selection) { selection.mergeCharFormat(format); });
}

void EditCommands::mergeBlockFormat(QTextCursor &cursor, const QTextBlockFormat &format, EditKind kind)
{
    apply(cursor, kind, [&format](QTextCursor &paragraphs) { paragraphs.mergeBlockFormat(format); });
}

} // namespace tamapiko::engine
