// Pictures and objects at a fixed place on the page: inserting them where
// the user looks, selecting them with the mouse, moving them by dragging and
// resizing them by their handles, each change one undo step.

#include "engine/TTextEngine.h"
#include "engine/TTextEngine_p.h"

#include "engine/editing/EmbeddedObject.h"
#include "engine/layout/FloatingObjects.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

#include <algorithm>

using namespace tamapiko::engine;

namespace {

constexpr qreal HandleSize = 7;            // pixels
constexpr int SmallestObject = 72;         // twips, a twentieth of an inch

// The eight handles around a rectangle, clockwise from the top-left corner.
QList<QPointF> handlePoints(const QRectF &rect)
{
    const QPointF c = rect.center();
    return {rect.topLeft(),     QPointF(c.x(), rect.top()),    rect.topRight(),
            QPointF(rect.right(), c.y()), rect.bottomRight(), QPointF(c.x(), rect.bottom()),
            rect.bottomLeft(),  QPointF(rect.left(), c.y())};
}

// What dragging handle `handle` by `delta` twips makes of `rect`.
QRect resized(const QRect &rect, int handle, QPoint delta)
{
    int left = rect.left();
    int top = rect.top();
    int right = rect.left() + rect.width();
    int bottom = rect.top() + rect.height();
    if (handle == 0 || handle == 6 || handle == 7)
        left = std::min(left + delta.x(), right - SmallestObject);
    if (handle >= 2 && handle <= 4)
        right = std::max(right + delta.x(), left + SmallestObject);
    if (handle <= 2)
        top = std::min(top + delta.y(), bottom - SmallestObject);
    if (handle >= 4 && handle <= 6)
        bottom = std::max(bottom + delta.y(), top + SmallestObject);
    return QRect(left, top, right - left, bottom - top);
}

Qt::CursorShape handleCursor(int handle)
{
    switch (handle) {
    case 0: case 4: return Qt::SizeFDiagCursor;
    case 2: case 6: return Qt::SizeBDiagCursor;
    case 1: case 5: return Qt::SizeVerCursor;
    case 3: case 7: return Qt::SizeHorCursor;
    default: return Qt::SizeAllCursor;
    }
}

} // namespace

// --- Sheets ----------------------------------------------------------------

QPointF TTextEnginePrivate::contentToSheet(const QPointF &contentPoint, int *page) const
{
    const ViewGeometry g = geometry();
    g.contentToFlow(contentPoint, page);
    if (viewMode != 0)
        return (contentPoint - g.sheetRect(*page).topLeft()) / g.scale();
    // The normal view shows only the text area.
    return (contentPoint - g.textAreaRect(*page).topLeft()) / g.scale()
        + QPointF(layout->pages().page(*page).body.topLeft());
}

QPointF TTextEnginePrivate::viewportToSheet(const QPointF &viewportPoint, int *page) const
{
    return contentToSheet(viewportPoint + scrollOffset(), page);
}

QRectF TTextEnginePrivate::sheetToViewport(int page, const QRectF &sheetRect) const
{
    const ViewGeometry g = geometry();
    QPointF origin = viewMode != 0 ? g.sheetRect(page).topLeft()
                                   : g.textAreaRect(page).topLeft()
                                         - QPointF(layout->pages().page(page).body.topLeft()) * g.scale();
    origin -= scrollOffset();
    return QRectF(origin + sheetRect.topLeft() * g.scale(), sheetRect.size() * g.scale());
}

QPointF TTextEnginePrivate::sheetOnPage(int page, const QPointF &viewportPoint) const
{
    const QRectF origin = sheetToViewport(page, QRectF(0, 0, 1, 1));
    return (viewportPoint - origin.topLeft()) / geometry().scale();
}

int TTextEnginePrivate::anchorPositionFor(int page, const QPointF &sheetPoint) const
{
    // The paragraph at that point, or the one nearest to it on the page.
    const PageFrame &frame = layout->pages().page(page);
    const QPointF flow(sheetPoint.x() - frame.body.left(), frame.flowTop + sheetPoint.y() - frame.body.top());
    int position = layout->hitTestFlow(page, flow);
    // Objects stand in the body's flow, never inside a table.
    QTextDocument *document = q->document();
    QTextCursor at(document);
    at.setPosition(position);
    for (int guard = 0; at.currentTable() && guard < 64; ++guard) {
        position = std::min(at.currentTable()->lastPosition() + 1, document->characterCount() - 1);
        at.setPosition(position);
    }
    // At the start of its paragraph when that starts on this page, so that
    // the object goes where its paragraph goes.
    const QTextBlock block = document->findBlock(position);
    if (layout->pageOfPosition(block.position()) == page)
        return block.position();
    return position;
}

void TTextEnginePrivate::insertAnchoredObject(const QTextImageFormat &format, int page)
{
    const std::optional<AnchoredPlacement> placement = AnchoredPlacement::of(format);
    const int anchor = anchorPositionFor(page, QPointF(placement->left, placement->top));
    editor.apply(cursor, EditKind::Picture, [&](QTextCursor &) { anchorObjectAt(anchor, format); });
    q->viewport()->update();
    afterUserAction();
}

void TTextEnginePrivate::anchorObjectAt(int position, const QTextImageFormat &format)
{
    QTextCursor at(q->document());
    at.setPosition(position);
    at.insertImage(format);
    selectedObject = QTextCursor(q->document());
    selectedObject.setPosition(position);
}

std::optional<PlacedObject> TTextEnginePrivate::selectedPlacedObject() const
{
    if (selectedObject.isNull())
        return std::nullopt;
    layout->ensurePosition(selectedObject.position());
    return layout->floatingObjects().objectAt(selectedObject.position());
}

// --- Mouse -----------------------------------------------------------------

bool TTextEnginePrivate::pressOnObject(const QPointF &viewportPoint, Qt::KeyboardModifiers modifiers)
{
    objectDrag = ObjectDrag::None;
    if (isEditingHeaderFooter() || (modifiers & Qt::ShiftModifier)) {
        selectedObject = QTextCursor();
        return false;
    }
    int page = 0;
    const QPointF sheet = viewportToSheet(viewportPoint, &page);

    // A handle of the selected object first: they stick out of it.
    int handle = -1;
    std::optional<PlacedObject> hit;
    if (const std::optional<PlacedObject> selected = selectedPlacedObject()) {
        const QList<QPointF> handles = handlePoints(sheetToViewport(selected->page, selected->rect));
        for (int i = 0; i < handles.size() && !hit; ++i) {
            if (QRectF(handles[i] - QPointF(HandleSize, HandleSize) / 2, QSizeF(HandleSize, HandleSize))
                    .adjusted(-1, -1, 1, 1)
                    .contains(viewportPoint)) {
                hit = selected;
                handle = i;
            }
        }
    }
    if (!hit) {
        // The topmost object under the point: the one painted last.
        const std::vector<PlacedObject> objects = layout->floatingObjects().objectsOnPage(page);
        for (auto it = objects.rbegin(); it != objects.rend() && !hit; ++it) {
            if (QRectF(it->rect).contains(sheet))
                hit = *it;
        }
    }
    const bool hadSelection = !selectedObject.isNull();
    if (!hit) {
        selectedObject = QTextCursor();
        if (hadSelection)
            q->viewport()->update();
        return false;
    }
    selectedObject = QTextCursor(q->document());
    selectedObject.setPosition(hit->position);
    objectDrag = ObjectDrag::Pressed;
    objectHandle = handle;
    objectPressPage = hit->page;
    objectPressSheet = sheetOnPage(hit->page, viewportPoint);
    objectStartRect = objectDragRect = hit->rect;
    objectDragPage = hit->page;
    pressPosition = viewportPoint.toPoint();
    q->viewport()->update();
    return true;
}

bool TTextEnginePrivate::moveOverObject(const QPointF &viewportPoint, Qt::MouseButtons buttons)
{
    if (objectDrag == ObjectDrag::None) {
        if (buttons != Qt::NoButton)
            return false;
        // Hovering: the pointer says what a press would do.
        int page = 0;
        const QPointF sheet = viewportToSheet(viewportPoint, &page);
        Qt::CursorShape shape = Qt::IBeamCursor;
        if (const std::optional<PlacedObject> selected = selectedPlacedObject()) {
            const QList<QPointF> handles = handlePoints(sheetToViewport(selected->page, selected->rect));
            for (int i = 0; i < handles.size(); ++i) {
                if (QLineF(handles[i], viewportPoint).length() <= HandleSize)
                    shape = handleCursor(i);
            }
        }
        if (shape == Qt::IBeamCursor) {
            for (const PlacedObject &object : layout->floatingObjects().objectsOnPage(page)) {
                if (QRectF(object.rect).contains(sheet))
                    shape = Qt::SizeAllCursor;
            }
        }
        if (mousePointer != 11)
            q->viewport()->setCursor(shape);
        return false;
    }
    if (!(buttons & Qt::LeftButton))
        return true;
    if (objectDrag == ObjectDrag::Pressed) {
        if ((viewportPoint.toPoint() - pressPosition).manhattanLength()
            < QGuiApplication::styleHints()->startDragDistance())
            return true;
        objectDrag = ObjectDrag::Moving;
    }
    int page = 0;
    const QPointF sheet = viewportToSheet(viewportPoint, &page);
    if (objectHandle >= 0) {
        // Resizing stays on the object's page.
        const QPointF onOwnPage = sheetOnPage(objectPressPage, viewportPoint);
        objectDragRect = resized(objectStartRect, objectHandle, (onOwnPage - objectPressSheet).toPoint());
        objectDragPage = objectPressPage;
    } else {
        // Moving may take it to another page: its top-left follows the
        // pointer there as it did on its own.
        const QPointF grip = objectPressSheet - QPointF(objectStartRect.topLeft());
        objectDragRect = QRect((sheet - grip).toPoint(), objectStartRect.size());
        objectDragPage = page;
    }
    lastMouse = viewportPoint;
    q->viewport()->update();
    return true;
}

bool TTextEnginePrivate::releaseObject(const QPointF &viewportPoint)
{
    Q_UNUSED(viewportPoint);
    const ObjectDrag was = std::exchange(objectDrag, ObjectDrag::None);
    if (was == ObjectDrag::None)
        return false;
    if (was == ObjectDrag::Pressed || selectedObject.isNull()
        || (objectDragRect == objectStartRect && objectDragPage == objectPressPage)) {
        q->viewport()->update();
        return true;
    }
    const int position = selectedObject.position();
    QTextCursor character(q->document());
    character.setPosition(position);
    character.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    QTextImageFormat format = character.charFormat().toImageFormat();
    std::optional<AnchoredPlacement> placement = AnchoredPlacement::of(format);
    if (!placement)
        return true;
    // Moved or resized by hand, it stands where it was put on its page.
    placement->horizontalFrom = AnchorOrigin::Page;
    placement->verticalFrom = AnchorOrigin::Page;
    placement->left = objectDragRect.left();
    placement->top = objectDragRect.top();
    placement->width = objectDragRect.width();
    placement->height = objectDragRect.height();
    placement->applyTo(format);

    // On another page it is anchored to a paragraph there.
    int anchor = position;
    if (objectDragPage != objectPressPage)
        anchor = anchorPositionFor(objectDragPage, QPointF(objectDragRect.topLeft()));
    editor.apply(cursor, EditKind::Picture, [&](QTextCursor &) {
        if (anchor == position) {
            character.setCharFormat(format);
            return;
        }
        character.removeSelectedText();
        anchorObjectAt(anchor > position ? anchor - 1 : anchor, format);
    });
    q->viewport()->update();
    return true;
}

bool TTextEnginePrivate::openSelectedObject(const QPointF &viewportPoint)
{
    if (!pressOnObject(viewportPoint, {}))
        return false;
    objectDrag = ObjectDrag::None;
    QTextCursor character(q->document());
    character.setPosition(selectedObject.position());
    character.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    if (isEmbeddedObject(character.charFormat()) && !openEmbeddedObject(character.charFormat(), &error))
        QMessageBox::warning(q, QStringLiteral("ｴﾗｰ"), error);
    return true;
}

bool TTextEnginePrivate::handleObjectKey(QKeyEvent *event)
{
    if (selectedObject.isNull())
        return false;
    if (event->key() == Qt::Key_Escape) {
        selectedObject = QTextCursor();
        q->viewport()->update();
        return true;
    }
    if (event->key() != Qt::Key_Delete && event->key() != Qt::Key_Backspace) {
        // Typing goes to the caret; the object is no longer selected.
        selectedObject = QTextCursor();
        q->viewport()->update();
        return false;
    }
    const int position = selectedObject.position();
    selectedObject = QTextCursor();
    editor.apply(cursor, EditKind::Deletion, [&](QTextCursor &) {
        QTextCursor character(q->document());
        character.setPosition(position);
        character.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        if (isAnchoredObject(character.charFormat()))
            character.removeSelectedText();
    });
    q->viewport()->update();
    return true;
}

void TTextEnginePrivate::paintObjectSelection(QPainter &painter) const
{
    const std::optional<PlacedObject> selected = selectedPlacedObject();
    if (!selected)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRectF rect = sheetToViewport(selected->page, selected->rect);
    painter.setPen(QPen(QColor(60, 60, 60), 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const QPointF &point : handlePoints(rect))
        painter.drawRect(QRectF(point - QPointF(HandleSize, HandleSize) / 2, QSizeF(HandleSize, HandleSize)));
    if (objectDrag == ObjectDrag::Moving) {
        // Where the drag would put it.
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(sheetToViewport(objectDragPage, objectDragRect));
    }
    painter.restore();
}

// --- Links -----------------------------------------------------------------

void TTextEnginePrivate::reportMissingLinks()
{
    QStringList missing;
    const auto note = [&missing](const QTextFormat &format) {
        if (!format.isImageFormat() || !format.hasProperty(ImageLinkedPath))
            return;
        const QString path = format.stringProperty(ImageLinkedPath);
        if (!QFileInfo(path).isFile() && !missing.contains(path))
            missing.append(path);
    };
    for (const QTextFormat &format : q->document()->allFormats())
        note(format);
    if (missing.isEmpty())
        return;
    QStringList shown = missing.mid(0, 5);
    if (missing.size() > shown.size())
        shown.append(QStringLiteral("…"));
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("ｴﾗｰ"),
                                QStringLiteral("リンクされた画像のファイルが見つかりません。\n%1").arg(shown.join(u'\n')),
                                QMessageBox::Ok, q);
    box->setObjectName(QStringLiteral("MissingLinksBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
