#include "engine/TTextEngine.h"
#include "engine/TTextEngine_p.h"

#include <QApplication>
#include <QDrag>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>

// The engine's input: keys, mouse selection, drag and drop, and the input
// method's preedit text.

using namespace tamapiko::engine;

void TTextEnginePrivate::selectAll()
{
    cursor.select(QTextCursor::Document);
    tracker.breakGroup();
}

// ---------------------------------------------------------------------------
// Keyboard

void TTextEnginePrivate::moveVertically(int lines, QTextCursor::MoveMode mode)
{
    if (desiredX < 0)
        desiredX = layout->caretRect(cursor.position()).left();
    int position = cursor.position();
    for (int i = 0; i < std::abs(lines); ++i) {
        const int next = layout->verticalNeighbour(position, lines < 0 ? -1 : 1, desiredX);
        if (next == position) {
            // Past the first or last line: go to the very start or end.
            position = lines < 0 ? (i == 0 ? 0 : position)
                                 : (i == 0 ? model.document()->characterCount() - 1 : position);
            break;
        }
        position = next;
    }
    cursor.setPosition(position, mode);
}

void TTextEnginePrivate::movePage(int direction, QTextCursor::MoveMode mode)
{
    if (desiredX < 0)
        desiredX = layout->caretRect(cursor.position()).left();
    const QRectF caret = caretViewportRect();
    const int step = q->viewport()->height();
    QScrollBar *v = q->verticalScrollBar();
    v->setValue(v->value() + direction * step);
    const ViewGeometry g = geometry();
    const qreal caretX = g.flowToContent(QPointF(desiredX, 0)).x() - scrollOffset().x();
    const qreal y = std::clamp<qreal>(caret.center().y(), 0, step);
    int position = hitTest(QPointF(caretX, y));
    if (position == cursor.position())
        position = direction < 0 ? 0 : model.document()->characterCount() - 1;
    cursor.setPosition(position, mode);
}

void TTextEnginePrivate::moveToCell(int direction)
{
    QTextTable *table = cursor.currentTable();
    if (!table)
        return;
    const QTextTableCell current = table->cellAt(cursor);
    const int columns = table->columns();
    // Cells in reading order; a merged cell counts once, at its top-left.
    QTextTableCell target;
    for (int index = current.row() * columns + current.column() + direction;; index += direction) {
        if (index < 0)
            return;
        if (index >= table->rows() * columns) {
            // Tab in the last cell adds a row, as users expect: one undo step.
            editor.apply(cursor, EditKind::Table, [table](QTextCursor &) { table->appendRows(1); });
            target = table->cellAt(table->rows() - 1, 0);
            break;
        }
        const QTextTableCell cell = table->cellAt(index / columns, index % columns);
        if (cell != current && cell.row() * columns + cell.column() == index) {
            target = cell;
            break;
        }
    }
    cursor.setPosition(target.firstPosition());
    cursor.setPosition(target.lastPosition(), QTextCursor::KeepAnchor);
}

bool TTextEnginePrivate::handleKey(QKeyEvent *event)
{
    if (event == QKeySequence::Undo)
        return q->Undo(), true;
    if (event == QKeySequence::Redo || (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier))
        return q->Redo(), true;
    if (event == QKeySequence::Cut)
        return q->ClipboardAction(1), true;
    if (event == QKeySequence::Copy)
        return q->ClipboardAction(2), true;
    if (event == QKeySequence::Paste)
        return q->ClipboardAction(3), true;
    if (event == QKeySequence::SelectAll)
        return selectAll(), true;

    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    const QTextCursor::MoveMode mode = shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    const bool vertical = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down
        || event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown;
    if (!vertical || control)
        desiredX = -1;

    auto move = [&](QTextCursor::MoveOperation operation) {
        cursor.movePosition(operation, mode);
        tracker.breakGroup();
    };

    switch (event->key()) {
    case Qt::Key_Left:
        if (!shift && cursor.hasSelection() && !control)
            cursor.setPosition(cursor.selectionStart());
        else
            move(control ? QTextCursor::PreviousWord : QTextCursor::PreviousCharacter);
        tracker.breakGroup();
        return true;
    case Qt::Key_Right:
        if (!shift && cursor.hasSelection() && !control)
            cursor.setPosition(cursor.selectionEnd());
        else
            move(control ? QTextCursor::NextWord : QTextCursor::NextCharacter);
        tracker.breakGroup();
        return true;
    case Qt::Key_Up:
        if (control) {
            if (cursor.positionInBlock() == 0)
                move(QTextCursor::PreviousBlock);
            else
                move(QTextCursor::StartOfBlock);
        } else {
            moveVertically(-1, mode);
        }
        tracker.breakGroup();
        return true;
    case Qt::Key_Down:
        if (control)
            move(QTextCursor::NextBlock);
        else
            moveVertically(1, mode);
        tracker.breakGroup();
        return true;
    case Qt::Key_Home:
        move(control ? QTextCursor::Start : QTextCursor::StartOfLine);
        return true;
    case Qt::Key_End:
        move(control ? QTextCursor::End : QTextCursor::EndOfLine);
        return true;
    case Qt::Key_PageUp:
        movePage(-1, mode);
        tracker.breakGroup();
        return true;
    case Qt::Key_PageDown:
        movePage(1, mode);
        tracker.breakGroup();
        return true;
    case Qt::Key_Backspace:
        editor.deleteBackward(cursor, control);
        return true;
    case Qt::Key_Delete:
        if (shift && !control)
            return q->ClipboardAction(1), true;
        editor.deleteForward(cursor, control);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (shift)
            editor.lineBreak(cursor);
        else
            editor.newParagraph(cursor);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (control)
            return false;   // Ctrl+Tab belongs to the window around (switching documents)
        if (cursor.currentTable()) {
            moveToCell(event->key() == Qt::Key_Backtab || shift ? -1 : 1);
            return true;
        }
        if (event->key() == Qt::Key_Backtab)
            return false;
        editor.type(cursor, QStringLiteral("\t"), overwrite);
        return true;
    case Qt::Key_Insert:
        if (modifiers == Qt::NoModifier) {
            overwrite = !overwrite;
            emit q->overwriteModeChanged(overwrite);
            return true;
        }
        if (shift)
            return q->ClipboardAction(3), true;
        if (control)
            return q->ClipboardAction(2), true;
        return false;
    default:
        break;
    }

    const QString text = event->text();
    if (text.isEmpty() || (control && !(modifiers & Qt::AltModifier)))
        return false;
    for (const QChar c : text) {
        if (!c.isPrint() && c != u'\t')
            return false;
    }
    editor.type(cursor, text, overwrite);
    return true;
}

// ---------------------------------------------------------------------------
// Mouse

void TTextEnginePrivate::extendDragSelection(const QPointF &viewportPoint)
{
    const int position = hitTest(viewportPoint);
    if (drag == Drag::Words || drag == Drag::Paragraphs) {
        QTextCursor unit(model.document());
        unit.setPosition(position);
        unit.select(drag == Drag::Words ? QTextCursor::WordUnderCursor : QTextCursor::BlockUnderCursor);
        if (!unit.hasSelection())
            unit.setPosition(position);
        if (position < selectionOrigin) {
            cursor.setPosition(selectionOriginEnd);
            cursor.setPosition(std::min(position, unit.selectionStart()), QTextCursor::KeepAnchor);
        } else {
            cursor.setPosition(selectionOrigin);
            cursor.setPosition(std::max(position, unit.selectionEnd()), QTextCursor::KeepAnchor);
        }
        return;
    }
    cursor.setPosition(position, QTextCursor::KeepAnchor);
}

void TTextEnginePrivate::autoScrollStep()
{
    const QRect area = q->viewport()->rect();
    QScrollBar *v = q->verticalScrollBar();
    QScrollBar *h = q->horizontalScrollBar();
    if (lastMouse.y() < area.top())
        v->setValue(v->value() - int(area.top() - lastMouse.y()) - 4);
    else if (lastMouse.y() > area.bottom())
        v->setValue(v->value() + int(lastMouse.y() - area.bottom()) + 4);
    if (lastMouse.x() < area.left())
        h->setValue(h->value() - int(area.left() - lastMouse.x()) - 4);
    else if (lastMouse.x() > area.right())
        h->setValue(h->value() + int(lastMouse.x() - area.right()) + 4);
    extendDragSelection(lastMouse);
    afterUserAction();
}

// ---------------------------------------------------------------------------
// Drag and drop

void TTextEnginePrivate::startDrag()
{
    drag = Drag::None;
    auto *qdrag = new QDrag(q);
    qdrag->setMimeData(clipboard.mimeData(cursor));
    const Qt::DropAction action = qdrag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (action == Qt::MoveAction && qdrag->target() != q->viewport() && qdrag->target() != q)
        editor.removeSelection(cursor);
    afterUserAction();
}

// ---------------------------------------------------------------------------
// Input method

void TTextEnginePrivate::clearPreedit()
{
    if (preeditBlock.isValid()) {
        QTextLayout *blockLayout = preeditBlock.layout();
        blockLayout->setPreeditArea(-1, QString());
        blockLayout->clearFormats();
        layout->invalidateBlock(preeditBlock);
    }
    preedit.clear();
    preeditCursor = 0;
    preeditBlock = QTextBlock();
}

void TTextEnginePrivate::setPreedit(const QInputMethodEvent *event)
{
    preedit = event->preeditString();
    if (preedit.isEmpty())
        return;
    preeditBlock = cursor.block();
    QTextLayout *blockLayout = preeditBlock.layout();
    const int start = cursor.position() - preeditBlock.position();
    blockLayout->setPreeditArea(start, preedit);
    QList<QTextLayout::FormatRange> formats;
    preeditCursor = int(preedit.size());
    for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preeditCursor = std::clamp(attribute.start, 0, int(preedit.size()));
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
            // Text being composed is always underlined, whatever else the
            // input method asks for (some send a plain format).
            if (format.underlineStyle() == QTextCharFormat::NoUnderline)
                format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            if (attribute.length > 0)
                formats.append({start + attribute.start, attribute.length, format});
        }
    }
    if (formats.isEmpty()) {
        QTextCharFormat underline;
        underline.setFontUnderline(true);
        formats.append({start, int(preedit.size()), underline});
    }
    blockLayout->setFormats(formats);
    layout->invalidateBlock(preeditBlock);
}

