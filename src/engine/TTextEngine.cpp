#include "engine/TTextEngine.h"

#include "engine/EngineProperties.h"
#include "engine/FontSubstitution.h"
#include "engine/TEngineButtonBar.h"
#include "engine/TEngineRuler.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine_p.h"
#include "engine/editing/CharacterFormats.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/view/PagePainter.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cmath>

using namespace tamapiko::engine;

namespace {

// LoadDocument, SaveDocument and the insert methods answer 0 or one of these.
enum EngineError {
    NoError = 0,
    UnknownFormat = 1,
    FileError = 2,
    FormatError = 3,
    BadArgument = 4,
    Unsupported = 5,
};

const char *const FragmentMime = "application/x-tamapiko-fragment";

constexpr int MinimumZoom = 10;
constexpr int MaximumZoom = 400;

} // namespace

// ---------------------------------------------------------------------------
// TTextEnginePrivate

TTextEnginePrivate::TTextEnginePrivate(TTextEngine *engine)
    : q(engine)
    , layout(nullptr)
    , tracker(model.document())
    , editor(tracker)
{
    installFontSubstitutions();
    QTextDocument *document = model.document();
    layout = new PageLayout(document);
    layout->setPageSetup(model.pageSetup());
    document->setDocumentLayout(layout);
    applyDefaultFont();
    cursor = QTextCursor(document);
}

void TTextEnginePrivate::applyDefaultFont()
{
    QFont font(QStringLiteral("ＭＳ 明朝"));
    font.setPointSizeF(10.5);
    model.document()->setDefaultFont(font);
}

double TTextEnginePrivate::pixelsPerTwip() const
{
    return zoom / 100.0 * q->logicalDpiX() / 1440.0;
}

ViewGeometry TTextEnginePrivate::geometry() const
{
    return ViewGeometry(*layout, viewMode == 0 ? ViewGeometry::Normal : ViewGeometry::PageLayoutMode,
                        pixelsPerTwip(), q->viewport()->width(), layout->knownPageCount());
}

QPointF TTextEnginePrivate::scrollOffset() const
{
    return QPointF(q->horizontalScrollBar()->value(), q->verticalScrollBar()->value());
}

int TTextEnginePrivate::hitTest(const QPointF &viewportPoint) const
{
    int page = 0;
    const QPointF flow = geometry().contentToFlow(viewportPoint + scrollOffset(), &page);
    return layout->hitTestFlow(page, flow);
}

QRectF TTextEnginePrivate::caretViewportRect() const
{
    QRectF caret;
    if (!preedit.isEmpty() && preeditBlock.isValid())
        caret = layout->caretRectAt(preeditBlock, preeditBlock.layout()->preeditAreaPosition() + preeditCursor);
    else
        caret = layout->caretRect(cursor.position());
    const ViewGeometry g = geometry();
    const QPointF topLeft = g.flowToContent(caret.topLeft()) - scrollOffset();
    return QRectF(topLeft, QSizeF(1, std::max(1.0, caret.height() * g.scale())));
}

void TTextEnginePrivate::updateScrollBars()
{
    const QSize content = geometry().contentSize();
    const QSize viewport = q->viewport()->size();
    QScrollBar *h = q->horizontalScrollBar();
    QScrollBar *v = q->verticalScrollBar();
    h->setRange(0, std::max(0, content.width() - viewport.width()));
    h->setPageStep(viewport.width());
    h->setSingleStep(20);
    v->setRange(0, std::max(0, content.height() - viewport.height()));
    v->setPageStep(viewport.height());
    v->setSingleStep(20);
}

void TTextEnginePrivate::ensureCaretVisible()
{
    const QRectF caret = caretViewportRect();
    const QSize viewport = q->viewport()->size();
    const int margin = 8;
    QScrollBar *v = q->verticalScrollBar();
    QScrollBar *h = q->horizontalScrollBar();
    if (caret.top() < 0)
        v->setValue(v->value() + int(std::floor(caret.top())) - margin);
    else if (caret.bottom() > viewport.height())
        v->setValue(v->value() + int(std::ceil(caret.bottom() - viewport.height())) + margin);
    if (caret.left() < 0)
        h->setValue(h->value() + int(std::floor(caret.left())) - 3 * margin);
    else if (caret.right() > viewport.width())
        h->setValue(h->value() + int(std::ceil(caret.right() - viewport.width())) + 3 * margin);
}

void TTextEnginePrivate::restartBlink()
{
    caretOn = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0 && q->hasFocus())
        blink.start(flash / 2);
    else
        blink.stop();
    q->viewport()->update();
}

void TTextEnginePrivate::queueFlush()
{
    if (flushQueued)
        return;
    flushQueued = true;
    QTimer::singleShot(0, q, [this] { afterUserAction(); });
}

void TTextEnginePrivate::afterUserAction()
{
    flushQueued = false;
    if (loading)
        return;
    const bool wasChanged = changed;
    changed = false;
    const int position = cursor.position();
    const int anchor = cursor.anchor();
    const bool moved = position != reportedPosition || anchor != reportedAnchor;
    const QTextBlock block = cursor.block();
    const bool paragraph = !(block == reportedBlock);
    reportedPosition = position;
    reportedAnchor = anchor;
    reportedBlock = block;
    if (wasChanged)
        emit q->OnChange(q);
    if (moved || wasChanged)
        emit q->OnPosChange(q);
    if (paragraph)
        emit q->OnParagraphChange(q);
    q->viewport()->update();
}

int TTextEnginePrivate::blockAlignment(const QTextBlockFormat &format) const
{
    const Qt::Alignment a = format.alignment();
    if (a & Qt::AlignJustify)
        return 3;
    if (a & Qt::AlignHCenter)
        return 2;
    if (a & (Qt::AlignRight | Qt::AlignTrailing))
        return 1;
    return 0;
}

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
    const QTextTableCell cell = table->cellAt(cursor);
    int index = cell.row() * table->columns() + cell.column() + direction;
    const int count = table->rows() * table->columns();
    if (index >= count) {
        // Tab in the last cell adds a row, as users expect.
        tracker.beginEdit(cursor, UndoKindTracker::Typing);
        table->appendRows(1);
        tracker.endEdit(cursor);
    }
    index = std::clamp(index, 0, table->rows() * table->columns() - 1);
    const QTextTableCell target = table->cellAt(index / table->columns(), index % table->columns());
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
        if (cursor.currentTable() && !control) {
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
// Clipboard and drag and drop

QMimeData *TTextEnginePrivate::createMimeData() const
{
    auto *mime = new QMimeData;
    const QTextDocumentFragment fragment(cursor);
    const QString html = fragment.toHtml();
    mime->setData(QString::fromLatin1(FragmentMime), html.toUtf8());
    mime->setHtml(html);
    QString text = fragment.toPlainText();
    text.replace(QChar::LineSeparator, u'\n');
    mime->setText(text);
    if (DocumentFilter *rtf = FilterRegistry::instance().filter(5)) {
        DocumentModel copy;
        QTextCursor(copy.document()).insertFragment(fragment);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        if (rtf->write(buffer, copy, FilterContext{}, &error)) {
            mime->setData(QStringLiteral("text/rtf"), buffer.data());
            mime->setData(QStringLiteral("application/rtf"), buffer.data());
        }
    }
    return mime;
}

bool TTextEnginePrivate::insertMimeData(const QMimeData *mime, QTextCursor &at)
{
    if (!mime)
        return false;
    QTextDocument *document = model.document();
    if (mime->hasFormat(QString::fromLatin1(FragmentMime))) {
        const QString html = QString::fromUtf8(mime->data(QString::fromLatin1(FragmentMime)));
        editor.insertFragment(at, QTextDocumentFragment::fromHtml(html, document));
        return true;
    }
    if (DocumentFilter *rtf = FilterRegistry::instance().filter(5)) {
        for (const QString &type : {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")}) {
            if (!mime->hasFormat(type))
                continue;
            QByteArray bytes = mime->data(type);
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            DocumentModel source;
            QString error;
            if (rtf->read(buffer, source, FilterContext{}, &error)) {
                insertModel(source, at);
                return true;
            }
        }
    }
    if (mime->hasHtml()) {
        editor.insertFragment(at, QTextDocumentFragment::fromHtml(mime->html(), document));
        return true;
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) {
            static int counter = 0;
            const QString name = QStringLiteral("tamapiko-pasted-%1").arg(++counter);
            document->addResource(QTextDocument::ImageResource, QUrl(name), image);
            QTextImageFormat format;
            format.setName(name);
            tracker.beginEdit(at, UndoKindTracker::Typing);
            if (at.hasSelection())
                at.removeSelectedText();
            at.insertImage(format);
            tracker.endEdit(at);
            return true;
        }
    }
    if (mime->hasText()) {
        QString text = mime->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        editor.insertFragment(at, QTextDocumentFragment::fromPlainText(text));
        return true;
    }
    return false;
}

void TTextEnginePrivate::startDrag()
{
    drag = Drag::None;
    auto *qdrag = new QDrag(q);
    qdrag->setMimeData(createMimeData());
    const Qt::DropAction action = qdrag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (action == Qt::MoveAction && qdrag->target() != q->viewport() && qdrag->target() != q)
        editor.removeSelection(cursor);
    afterUserAction();
}

void TTextEnginePrivate::insertModel(DocumentModel &source, QTextCursor &at)
{
    QTextDocument *from = source.document();
    QTextDocument *to = model.document();
    // Pictures live in the source document's resources: carry them over.
    for (QTextBlock block = from->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QUrl name(format.toImageFormat().name());
            const QVariant resource = from->resource(QTextDocument::ImageResource, name);
            if (resource.isValid())
                to->addResource(QTextDocument::ImageResource, name, resource);
        }
    }
    QTextCursor all(from);
    all.select(QTextCursor::Document);
    editor.insertFragment(at, QTextDocumentFragment(all));
}

bool TTextEnginePrivate::insertFile(const QString &fileName, int format)
{
    DocumentFilter *filter = FilterRegistry::instance().filter(format);
    if (!filter) {
        error = QStringLiteral("No filter for format %1").arg(format);
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    DocumentModel source;
    QString message;
    if (!filter->read(file, source, FilterContext{fileName}, &message)) {
        error = message.isEmpty() ? QStringLiteral("Cannot read %1").arg(fileName) : message;
        return false;
    }
    insertModel(source, cursor);
    return true;
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
            const QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
            if (format.isValid() && attribute.length > 0)
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

// ---------------------------------------------------------------------------
// TTextEngine

TTextEngine::TTextEngine(QWidget *parent)
    : QAbstractScrollArea(parent)
    , d(std::make_unique<TTextEnginePrivate>(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    QTextDocument *document = d->model.document();
    connect(document, &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (removed == 0 && added == 0)
            return;
        d->changed = true;
        d->queueFlush();
    });
    connect(document, &QTextDocument::cursorPositionChanged, this, [this] { d->queueFlush(); });
    connect(&d->model, &DocumentModel::pageSetupChanged, this, [this] {
        d->layout->setPageSetup(d->model.pageSetup());
        d->updateScrollBars();
        viewport()->update();
        emit viewGeometryChanged();
    });
    connect(d->layout, &PageLayout::pagesChanged, this, [this] {
        d->updateScrollBars();
        viewport()->update();
    });
    connect(d->layout, &QAbstractTextDocumentLayout::pageCountChanged, this,
            [this] { emit viewGeometryChanged(); });
    connect(&d->blink, &QTimer::timeout, this, [this] {
        d->caretOn = !d->caretOn;
        viewport()->update();
    });
    d->autoScroll.setInterval(50);
    connect(&d->autoScroll, &QTimer::timeout, this, [this] { d->autoScrollStep(); });

    d->reportedPosition = 0;
    d->reportedAnchor = 0;
    d->reportedBlock = document->begin();
    d->updateScrollBars();
}

TTextEngine::~TTextEngine()
{
    // The layout belongs to the document; stop its timers before both go.
    d->blink.stop();
    d->autoScroll.stop();
}

// --- Character -------------------------------------------------------------

QString TTextEngine::FontName() const
{
    return readCharFormat(d->cursor, document()->defaultFont()).fontName;
}

void TTextEngine::setFontName(const QString &name)
{
    if (name.trimmed().isEmpty())
        return;
    QTextCharFormat format;
    format.setFontFamilies(QStringList{name});
    d->editor.mergeCharFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::FontSize() const
{
    return int(readCharFormat(d->cursor, document()->defaultFont()).fontSize);
}

void TTextEngine::setFontSize(int points)
{
    if (points <= 0)
        return;
    QTextCharFormat format;
    format.setFontPointSize(std::min(points, 1638));
    d->editor.mergeCharFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::FontBold() const
{
    return readCharFormat(d->cursor, document()->defaultFont()).bold;
}

void TTextEngine::setFontBold(int on)
{
    QTextCharFormat format;
    format.setFontWeight(on == 1 ? QFont::Bold : QFont::Normal);
    d->editor.mergeCharFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::FontItalic() const
{
    return readCharFormat(d->cursor, document()->defaultFont()).italic;
}

void TTextEngine::setFontItalic(int on)
{
    QTextCharFormat format;
    format.setFontItalic(on == 1);
    d->editor.mergeCharFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::FontUnderline() const
{
    return readCharFormat(d->cursor, document()->defaultFont()).underline;
}

void TTextEngine::setFontUnderline(int on)
{
    QTextCharFormat format;
    format.setFontUnderline(on == 1);
    d->editor.mergeCharFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::ForeColor() const
{
    return readCharFormat(d->cursor, document()->defaultFont()).foreColor;
}

void TTextEngine::setForeColor(int rgb)
{
    if (rgb < 0)
        return;
    QTextCharFormat format;
    format.setForeground(rgbToColor(rgb));
    d->editor.mergeCharFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::TextBkColor() const
{
    return readCharFormat(d->cursor, document()->defaultFont()).backColor;
}

void TTextEngine::setTextBkColor(int rgb)
{
    if (rgb < 0)
        return;
    QTextCharFormat format;
    // White is the paper: no highlight at all.
    if ((rgb & 0xFFFFFF) == 0xFFFFFF)
        format.setBackground(Qt::NoBrush);
    else
        format.setBackground(rgbToColor(rgb));
    d->editor.mergeCharFormat(d->cursor, format);
    d->afterUserAction();
}

bool TTextEngine::FormatSelection() const
{
    return d->formatSelection;
}

void TTextEngine::setFormatSelection(bool on)
{
    d->formatSelection = on;
}

// --- Paragraph -------------------------------------------------------------

namespace {

template<typename Visit>
void forEachSelectedBlock(const QTextCursor &cursor, Visit visit)
{
    const QTextDocument *document = cursor.document();
    QTextBlock block = document->findBlock(cursor.selectionStart());
    const QTextBlock last = document->findBlock(cursor.selectionEnd());
    for (; block.isValid(); block = block.next()) {
        visit(block);
        if (block == last)
            break;
    }
}

} // namespace

int TTextEngine::Alignment() const
{
    int result = -2;
    forEachSelectedBlock(d->cursor, [&](const QTextBlock &block) {
        const int alignment = d->blockAlignment(block.blockFormat());
        result = result == -2 || result == alignment ? alignment : -1;
    });
    return result == -2 ? 0 : result;
}

void TTextEngine::setAlignment(int alignment)
{
    static const Qt::Alignment values[] = {Qt::AlignLeft | Qt::AlignAbsolute, Qt::AlignRight | Qt::AlignAbsolute,
                                           Qt::AlignHCenter, Qt::AlignJustify};
    if (alignment < 0 || alignment > 3)
        return;
    QTextBlockFormat format;
    format.setAlignment(values[alignment]);
    d->editor.mergeBlockFormat(d->cursor, format);
    d->afterUserAction();
}

namespace {

int readBlockProperty(const QTextCursor &cursor, int property, int absent)
{
    int result = INT_MIN;
    forEachSelectedBlock(cursor, [&](const QTextBlock &block) {
        const QTextBlockFormat format = block.blockFormat();
        const int value = format.hasProperty(property) ? format.intProperty(property) : absent;
        result = result == INT_MIN || result == value ? value : -1;
    });
    return result == INT_MIN ? absent : result;
}

} // namespace

int TTextEngine::FrameStyle() const
{
    return readBlockProperty(d->cursor, ParagraphFrameStyle, 0);
}

void TTextEngine::setFrameStyle(int style)
{
    // Sides named with their low bit are switched on, those named with the
    // high bit (0x100 left ... 0x1000 tab lines) off; 0x20 means single lines.
    QTextCursor cursor = d->cursor;
    d->tracker.beginEdit(cursor, UndoKindTracker::Formatting);
    forEachSelectedBlock(d->cursor, [&](const QTextBlock &block) {
        int value = block.blockFormat().intProperty(ParagraphFrameStyle);
        for (int side : {0x01, 0x02, 0x04, 0x08, 0x10}) {
            if (style & side)
                value |= side;
            if (style & (side << 8))
                value &= ~side;
        }
        if (style & 0x40)
            value |= 0x40;
        else if (style & 0x20)
            value &= ~0x40;
        if (style & 0x80)
            value |= 0x80;
        else if (style & 0x1F20)
            value &= ~0x80;
        QTextCursor paragraph(block);
        QTextBlockFormat format;
        format.setProperty(ParagraphFrameStyle, value & 0xFF);
        if (!block.blockFormat().hasProperty(ParagraphFrameLineWidth))
            format.setProperty(ParagraphFrameLineWidth, 20);
        paragraph.mergeBlockFormat(format);
    });
    d->tracker.endEdit(cursor);
    d->afterUserAction();
}

int TTextEngine::FrameLineWidth() const
{
    return readBlockProperty(d->cursor, ParagraphFrameLineWidth, 20);
}

void TTextEngine::setFrameLineWidth(int twips)
{
    if (twips < 0)
        return;
    QTextBlockFormat format;
    format.setProperty(ParagraphFrameLineWidth, std::min(twips, 1440));
    d->editor.mergeBlockFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::FrameDistance() const
{
    return readBlockProperty(d->cursor, ParagraphFrameDistance, 0);
}

void TTextEngine::setFrameDistance(int twips)
{
    if (twips < 0)
        return;
    QTextBlockFormat format;
    format.setProperty(ParagraphFrameDistance, std::min(twips, 1440));
    d->editor.mergeBlockFormat(d->cursor, format);
    d->afterUserAction();
}

// --- Page ------------------------------------------------------------------

int TTextEngine::PageWidth() const { return d->model.pageSetup().width; }
int TTextEngine::PageHeight() const { return d->model.pageSetup().height; }
int TTextEngine::PageMarginL() const { return d->model.pageSetup().marginLeft; }
int TTextEngine::PageMarginT() const { return d->model.pageSetup().marginTop; }
int TTextEngine::PageMarginR() const { return d->model.pageSetup().marginRight; }
int TTextEngine::PageMarginB() const { return d->model.pageSetup().marginBottom; }

void TTextEngine::setPageWidth(int twips) { SaveAttribute(0, twips); }
void TTextEngine::setPageHeight(int twips) { SaveAttribute(1, twips); }
void TTextEngine::setPageMarginL(int twips) { SaveAttribute(2, twips); }
void TTextEngine::setPageMarginT(int twips) { SaveAttribute(3, twips); }
void TTextEngine::setPageMarginR(int twips) { SaveAttribute(4, twips); }
void TTextEngine::setPageMarginB(int twips) { SaveAttribute(5, twips); }

void TTextEngine::SaveAttribute(int index, int value)
{
    PageSetup page = d->model.pageSetup();
    switch (index) {
    case 0: page.width = value; break;
    case 1: page.height = value; break;
    case 2: page.marginLeft = value; break;
    case 3: page.marginTop = value; break;
    case 4: page.marginRight = value; break;
    case 5: page.marginBottom = value; break;
    default: return;
    }
    d->model.setPageSetup(page);
}

int TTextEngine::CurrentPages() const
{
    d->layout->ensureComplete();
    return d->layout->knownPageCount();
}

// --- View ------------------------------------------------------------------

int TTextEngine::ViewMode() const
{
    return d->viewMode;
}

void TTextEngine::setViewMode(int mode)
{
    mode = mode == 0 ? 0 : 1;
    if (mode == d->viewMode)
        return;
    d->viewMode = mode;
    d->updateScrollBars();
    d->ensureCaretVisible();
    viewport()->update();
    emit viewGeometryChanged();
}

int TTextEngine::ZoomFactor() const
{
    return d->zoom;
}

void TTextEngine::setZoomFactor(int percent)
{
    percent = std::clamp(percent, MinimumZoom, MaximumZoom);
    if (percent == d->zoom)
        return;
    // Keep the caret where it was on screen if it was visible, else bring it in.
    const QRectF before = d->caretViewportRect();
    const bool visible = viewport()->rect().intersects(before.toAlignedRect());
    d->zoom = percent;
    d->updateScrollBars();
    if (visible) {
        const QRectF after = d->caretViewportRect();
        verticalScrollBar()->setValue(verticalScrollBar()->value() + int(after.top() - before.top()));
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(after.left() - before.left()));
    }
    d->ensureCaretVisible();
    viewport()->update();
    emit viewGeometryChanged();
}

bool TTextEngine::ControlChars() const
{
    return d->controlChars;
}

void TTextEngine::setControlChars(bool show)
{
    d->controlChars = show;
    viewport()->update();
}

int TTextEngine::ScrollBars() const
{
    return d->scrollBars;
}

void TTextEngine::setScrollBars(int which)
{
    if (which < 0 || which > 3)
        return;
    d->scrollBars = which;
    setHorizontalScrollBarPolicy((which & 1) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy((which & 2) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

int TTextEngine::ScrollPosY() const
{
    return qRound(verticalScrollBar()->value() / d->pixelsPerTwip());
}

int TTextEngine::MousePointer() const
{
    return d->mousePointer;
}

void TTextEngine::setMousePointer(int pointer)
{
    d->mousePointer = pointer;
    viewport()->setCursor(pointer == 11 ? Qt::WaitCursor : Qt::IBeamCursor);
}

int TTextEngine::Language() const
{
    return 81;
}

// --- Selection -------------------------------------------------------------

int TTextEngine::SelStart() const
{
    return d->cursor.selectionStart();
}

void TTextEngine::setSelStart(int position)
{
    const int end = document()->characterCount() - 1;
    d->cursor.setPosition(std::clamp(position, 0, end));
    d->tracker.breakGroup();
    d->afterUserAction();
}

int TTextEngine::SelLength() const
{
    return d->cursor.selectionEnd() - d->cursor.selectionStart();
}

void TTextEngine::setSelLength(int length)
{
    const int end = document()->characterCount() - 1;
    const int start = d->cursor.selectionStart();
    const int target = length < 0 ? end : std::clamp(start + length, 0, end);
    d->cursor.setPosition(start);
    d->cursor.setPosition(target, QTextCursor::KeepAnchor);
    d->tracker.breakGroup();
    d->afterUserAction();
}

// --- Undo ------------------------------------------------------------------

int TTextEngine::CanUndo() const
{
    return d->tracker.canUndo();
}

int TTextEngine::CanRedo() const
{
    return d->tracker.canRedo();
}

bool TTextEngine::Undo()
{
    d->clearPreedit();
    const bool done = d->tracker.undo(&d->cursor);
    d->ensureCaretVisible();
    d->afterUserAction();
    return done;
}

bool TTextEngine::Redo()
{
    d->clearPreedit();
    const bool done = d->tracker.redo(&d->cursor);
    d->ensureCaretVisible();
    d->afterUserAction();
    return done;
}

// --- Tables ----------------------------------------------------------------

bool TTextEngine::TableGridLines() const
{
    return d->gridLines;
}

void TTextEngine::setTableGridLines(bool show)
{
    d->gridLines = show;
    viewport()->update();
}

bool TTextEngine::TableCanChangeAttr() const
{
    return d->cursor.currentTable() != nullptr;
}

int TTextEngine::TableInsert(int rows, int columns, int position, int option)
{
    Q_UNUSED(option);
    if (rows < 1 || columns < 1 || rows > 32767 || columns > 63) {
        d->error = QStringLiteral("A table needs 1 to 32767 rows and 1 to 63 columns");
        return BadArgument;
    }
    QTextCursor at = d->cursor;
    if (position >= 0)
        at.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    QTextTableFormat format;
    format.setBorder(0.5);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setCellPadding(2.7);
    format.setCellSpacing(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths;
    for (int c = 0; c < columns; ++c)
        widths.append(QTextLength(QTextLength::PercentageLength, 100.0 / columns));
    format.setColumnWidthConstraints(widths);
    d->tracker.beginEdit(at, UndoKindTracker::Typing);
    if (at.hasSelection())
        at.removeSelectedText();
    if (at.positionInBlock() > 0)
        at.insertBlock();
    at.insertTable(rows, columns, format);
    d->tracker.endEdit(at);
    d->tracker.breakGroup();
    d->cursor = at;
    d->ensureCaretVisible();
    d->afterUserAction();
    return NoError;
}

bool TTextEngine::TableDeleteLines()
{
    QTextTable *table = d->cursor.currentTable();
    if (!table)
        return false;
    int firstRow = 0;
    int rowCount = 0;
    int firstColumn = 0;
    int columnCount = 0;
    d->cursor.selectedTableCells(&firstRow, &rowCount, &firstColumn, &columnCount);
    if (firstRow < 0) {
        QTextCursor start = d->cursor;
        start.setPosition(d->cursor.selectionStart());
        QTextCursor end = d->cursor;
        end.setPosition(d->cursor.selectionEnd());
        const QTextTableCell a = table->cellAt(start);
        const QTextTableCell b = end.currentTable() == table ? table->cellAt(end) : QTextTableCell();
        firstRow = a.isValid() ? a.row() : 0;
        rowCount = (b.isValid() ? b.row() : table->rows() - 1) - firstRow + 1;
    }
    QTextCursor cursor = d->cursor;
    d->tracker.beginEdit(cursor, UndoKindTracker::Deletion);
    if (firstRow == 0 && rowCount >= table->rows()) {
        // Every row goes: the table goes.
        QTextCursor whole(document());
        whole.setPosition(table->firstPosition() - 1);
        whole.setPosition(table->lastPosition() + 1, QTextCursor::KeepAnchor);
        whole.removeSelectedText();
    } else {
        table->removeRows(firstRow, rowCount);
    }
    d->tracker.endEdit(cursor);
    d->tracker.breakGroup();
    d->afterUserAction();
    return true;
}

bool TTextEngine::TableAttrDialog()
{
    return false;
}

// --- Printing --------------------------------------------------------------

QPainter *TTextEngine::PrintDevice() const
{
    return d->printDevice;
}

void TTextEngine::setPrintDevice(QPainter *painter)
{
    d->printDevice = painter;
}

int TTextEngine::PrintZoom() const
{
    return d->printZoom;
}

void TTextEngine::setPrintZoom(int percent)
{
    d->printZoom = percent;
}

bool TTextEngine::PrintPage(int page)
{
    QPainter *painter = d->printDevice;
    if (!painter || !painter->isActive() || !painter->device()) {
        d->error = QStringLiteral("No print device");
        return false;
    }
    if (page < 1 || page > CurrentPages()) {
        d->error = QStringLiteral("Page %1 does not exist").arg(page);
        return false;
    }
    if (d->printZoom <= 0) {
        d->error = QStringLiteral("Print zoom %1 is not a zoom").arg(d->printZoom);
        return false;
    }
    QPaintDevice *device = painter->device();
    const double zoom = std::min(d->printZoom, 1000) / 100.0;
    const double sx = zoom * device->logicalDpiX() / 1440.0;
    const double sy = zoom * device->logicalDpiY() / 1440.0;
    const PageSetup &setup = d->model.pageSetup();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->scale(sx, sy);
    painter->fillRect(QRectF(0, 0, std::max(setup.width, 1), std::max(setup.height, 1)), Qt::white);
    painter->translate(std::max(0, setup.marginLeft), std::max(0, setup.marginTop));
    PagePainter::Options options;
    options.tableGridLines = false;
    PagePainter(*d->layout, options).paintPage(painter, page - 1);
    painter->restore();
    return true;
}

// --- Companions ------------------------------------------------------------

TEngineButtonBar *TTextEngine::ButtonBarHandle() const { return d->buttonBar; }
void TTextEngine::setButtonBarHandle(TEngineButtonBar *bar) { d->buttonBar = bar; }
TEngineRuler *TTextEngine::RulerHandle() const { return d->ruler; }
void TTextEngine::setRulerHandle(TEngineRuler *ruler) { d->ruler = ruler; }
TEngineStatusBar *TTextEngine::StatusBarHandle() const { return d->statusBar; }
void TTextEngine::setStatusBarHandle(TEngineStatusBar *bar) { d->statusBar = bar; }

double TTextEngine::pixelsPerTwip() const
{
    return d->pixelsPerTwip();
}

int TTextEngine::pageOriginX() const
{
    const ViewGeometry g = d->geometry();
    const qreal left = d->viewMode == 0
        ? g.textLeft() - std::max(0, d->model.pageSetup().marginLeft) * g.scale()
        : g.sheetLeft();
    return qRound(left - horizontalScrollBar()->value() + viewport()->x());
}

int TTextEngine::CurrentPage() const
{
    return d->layout->pageOfPosition(d->cursor.position()) + 1;
}

int TTextEngine::CaretLine() const
{
    return d->layout->lineOnPage(d->cursor.position());
}

int TTextEngine::CaretColumn() const
{
    const QTextBlock block = d->cursor.block();
    const QTextLayout *layout = block.layout();
    const int relative = d->cursor.position() - block.position();
    const QTextLine line = layout->lineForTextPosition(relative);
    return relative - (line.isValid() ? line.textStart() : 0) + 1;
}

bool TTextEngine::OverwriteMode() const
{
    return d->overwrite;
}

// --- Dialogs (wired with the engine's dialog classes) ----------------------

bool TTextEngine::ParagraphDialog()
{
    return false;
}

bool TTextEngine::FontDialog()
{
    return false;
}

bool TTextEngine::FindReplaceDialog(int mode)
{
    Q_UNUSED(mode);
    return false;
}

// --- Clipboard -------------------------------------------------------------

bool TTextEngine::ClipboardAction(int action)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    bool done = false;
    switch (action) {
    case 1:
        if (d->cursor.hasSelection() && clipboard) {
            clipboard->setMimeData(d->createMimeData());
            done = d->editor.removeSelection(d->cursor);
        }
        break;
    case 2:
        if (d->cursor.hasSelection() && clipboard) {
            clipboard->setMimeData(d->createMimeData());
            done = true;
        }
        break;
    case 3:
        if (clipboard)
            done = d->insertMimeData(clipboard->mimeData(), d->cursor);
        break;
    case 4:
        done = d->editor.removeSelection(d->cursor);
        break;
    default:
        d->error = QStringLiteral("Unknown clipboard action %1").arg(action);
        return false;
    }
    d->ensureCaretVisible();
    d->afterUserAction();
    return done;
}

// --- Files -----------------------------------------------------------------

bool TTextEngine::InsertRtfFile(const QString &fileName, int option)
{
    Q_UNUSED(option);
    const bool done = d->insertFile(fileName, 5);
    d->afterUserAction();
    return done;
}

bool TTextEngine::InsertTextFile(const QString &fileName)
{
    const bool done = d->insertFile(fileName, 1);
    d->afterUserAction();
    return done;
}

int TTextEngine::InsertObjectAsChar(int kind, const QString &fileName, int position, int width,
                                    int height, int a, int imageFlag, int option)
{
    Q_UNUSED(a);
    Q_UNUSED(option);
    if (kind != 0) {
        d->error = QStringLiteral("Embedded objects are not supported");
        return Unsupported;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        d->error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return FileError;
    }
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QByteArray imageFormat = reader.format();
    const QImage image = reader.read();
    if (image.isNull()) {
        d->error = QStringLiteral("%1: %2").arg(fileName, reader.errorString());
        return FormatError;
    }
    const bool linked = imageFlag == 0;
    const QString absolute = QFileInfo(fileName).absoluteFilePath();
    static int counter = 0;
    const QString name = linked ? QUrl::fromLocalFile(absolute).toString()
                                : QStringLiteral("tamapiko-image-%1").arg(++counter);
    document()->addResource(QTextDocument::ImageResource, QUrl(name), image);

    QTextImageFormat format;
    format.setName(name);
    // Width and height are percentages of the picture's own size.
    const double dpiX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 96;
    const double dpiY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() * 0.0254 : 96;
    const double scaleW = (width > 0 ? width : 100) / 100.0;
    const double scaleH = (height > 0 ? height : 100) / 100.0;
    format.setWidth(image.width() * 72.0 / dpiX * scaleW);
    format.setHeight(image.height() * 72.0 / dpiY * scaleH);
    if (linked) {
        format.setProperty(ImageLinkedPath, absolute);
    } else {
        format.setProperty(ImageOriginalData, bytes);
        format.setProperty(ImageOriginalFormat, QString::fromLatin1(imageFormat));
    }

    QTextCursor at = d->cursor;
    if (position >= 0)
        at.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    d->tracker.beginEdit(at, UndoKindTracker::Typing);
    if (at.hasSelection())
        at.removeSelectedText();
    at.insertImage(format);
    d->tracker.endEdit(at);
    d->tracker.breakGroup();
    if (position < 0)
        d->cursor = at;
    d->ensureCaretVisible();
    d->afterUserAction();
    return NoError;
}

int TTextEngine::InsertObjectFixed(int kind, const QString &fileName, int x, int y, int width,
                                   int height, int a, int imageFlag, int b, int c, int dd, int e,
                                   int f, int g, int option)
{
    Q_UNUSED(x);
    Q_UNUSED(y);
    Q_UNUSED(b);
    Q_UNUSED(c);
    Q_UNUSED(dd);
    Q_UNUSED(e);
    Q_UNUSED(f);
    Q_UNUSED(g);
    // Objects at a fixed place on the page are not laid out yet: the picture
    // goes in at the caret instead, so that nothing the user chose is lost.
    return InsertObjectAsChar(kind, fileName, -1, width, height, a, imageFlag, option);
}

int TTextEngine::LoadDocument(const QString &fileName, int offset, int format, int flag)
{
    Q_UNUSED(flag);
    DocumentFilter *filter = FilterRegistry::instance().filter(format);
    if (!filter) {
        d->error = QStringLiteral("Unknown document format %1").arg(format);
        return UnknownFormat;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        d->error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return FileError;
    }
    if (offset < 0 || offset > file.size() || !file.seek(offset)) {
        d->error = QStringLiteral("%1: no data at offset %2").arg(fileName).arg(offset);
        return FileError;
    }

    QTextDocument *document = d->model.document();
    d->clearPreedit();
    ++d->loading;
    d->layout->setSuspended(true);
    document->setUndoRedoEnabled(false);
    document->clear();
    d->model.clearSourceProperties();
    d->applyDefaultFont();
    QString message;
    const bool ok = filter->read(file, d->model, FilterContext{fileName}, &message);
    if (!ok) {
        // Never leave half a document behind that could be saved over the file.
        document->clear();
        d->applyDefaultFont();
    }
    document->setUndoRedoEnabled(true);
    d->tracker.reset();
    d->cursor = QTextCursor(document);
    d->layout->setSuspended(false);
    --d->loading;
    d->changed = false;
    verticalScrollBar()->setValue(0);
    d->updateScrollBars();
    viewport()->update();
    d->afterUserAction();
    emit viewGeometryChanged();
    if (!ok) {
        d->error = message.isEmpty() ? QStringLiteral("%1: cannot be read").arg(fileName) : message;
        return FormatError;
    }
    d->error.clear();
    return NoError;
}

int TTextEngine::SaveDocument(const QString &fileName, int offset, int format, int flag)
{
    Q_UNUSED(flag);
    DocumentFilter *filter = FilterRegistry::instance().filter(format);
    if (!filter) {
        d->error = QStringLiteral("Unknown document format %1").arg(format);
        return UnknownFormat;
    }
    if (offset < 0) {
        d->error = QStringLiteral("Offset %1 is not a file position").arg(offset);
        return BadArgument;
    }
    // Write into memory first: a filter that fails must not leave a
    // truncated file behind.
    QBuffer data;
    data.open(QIODevice::WriteOnly);
    QString message;
    if (!filter->write(data, d->model, FilterContext{fileName}, &message)) {
        d->error = message.isEmpty() ? QStringLiteral("%1: cannot be written").arg(fileName) : message;
        return FormatError;
    }

    // Keep the bytes before the offset (a header the caller wrote) as they
    // are, and replace the file in one step.
    QByteArray prefix;
    if (offset > 0) {
        QFile existing(fileName);
        if (existing.exists() && !existing.open(QIODevice::ReadOnly)) {
            d->error = QStringLiteral("%1: %2").arg(fileName, existing.errorString());
            return FileError;
        }
        if (existing.isOpen())
            prefix = existing.read(offset);
        prefix.append(QByteArray(offset - prefix.size(), '\0'));
    }
    QSaveFile out(fileName);
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly) || out.write(prefix) != prefix.size()
        || out.write(data.data()) != data.data().size() || !out.commit()) {
        d->error = QStringLiteral("%1: %2").arg(fileName, out.errorString());
        return FileError;
    }
    d->error.clear();
    return NoError;
}

QString TTextEngine::errorString() const
{
    return d->error;
}

// --- Model -----------------------------------------------------------------

DocumentModel *TTextEngine::model() const
{
    return &d->model;
}

QTextDocument *TTextEngine::document() const
{
    return d->model.document();
}

QTextCursor TTextEngine::textCursor() const
{
    return d->cursor;
}

void TTextEngine::setTextCursor(const QTextCursor &cursor)
{
    if (cursor.isNull() || cursor.document() != document())
        return;
    d->cursor = cursor;
    d->tracker.breakGroup();
    d->desiredX = -1;
    d->ensureCaretVisible();
    d->afterUserAction();
}

// --- Events ----------------------------------------------------------------

void TTextEngine::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    const ViewGeometry g = d->geometry();
    const QPointF scroll = d->scrollOffset();
    const bool pageView = d->viewMode != 0;
    painter.fillRect(exposed, pageView ? QColor(128, 128, 128) : QColor(Qt::white));

    int first = 0;
    int last = 0;
    g.pagesInBand(scroll.y() + exposed.top(), scroll.y() + exposed.bottom(), &first, &last);
    // Pages that were not laid out yet are laid out now, up to the last
    // visible one, so the view never shows a page half-filled.
    d->layout->ensurePage(last);
    last = std::min(last, d->layout->knownPageCount() - 1);

    PagePainter::Options options;
    options.selectionStart = d->cursor.selectionStart();
    options.selectionEnd = d->cursor.selectionEnd();
    options.controlChars = d->controlChars;
    options.tableGridLines = d->gridLines;
    options.highlight = palette().color(QPalette::Highlight);
    options.highlightedText = palette().color(QPalette::HighlightedText);
    PagePainter pagePainter(*d->layout, options);

    for (int page = first; page <= last; ++page) {
        if (pageView) {
            const QRectF sheet = g.sheetRect(page).translated(-scroll);
            painter.fillRect(sheet.translated(3, 3), QColor(60, 60, 60));
            painter.fillRect(sheet, Qt::white);
        } else if (page > 0) {
            const qreal y = std::floor(g.textAreaRect(page).top() - scroll.y()) + 0.5;
            painter.save();
            painter.setPen(QPen(QColor(120, 120, 120), 1, Qt::DotLine));
            painter.drawLine(QPointF(0, y), QPointF(viewport()->width(), y));
            painter.restore();
        }
        // The same transform as PrintPage: sheet origin, scale, margins.
        const QRectF area = g.textAreaRect(page);
        const QPointF origin = pageView ? g.sheetRect(page).topLeft() : area.topLeft();
        const PageSetup &setup = d->model.pageSetup();
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.translate(origin - scroll);
        painter.scale(g.scale(), g.scale());
        if (pageView)
            painter.translate(std::max(0, setup.marginLeft), std::max(0, setup.marginTop));
        pagePainter.paintPage(&painter, page);
        painter.restore();
    }

    if (hasFocus() && d->caretOn && !d->cursor.hasSelection()) {
        const QRectF caret = d->caretViewportRect();
        const qreal width = d->overwrite ? std::max(2.0, caret.height() / 2) : std::max(1.0, g.scale() * 15);
        painter.fillRect(QRectF(caret.left(), caret.top(), width, caret.height()),
                         d->overwrite ? QColor(0, 0, 0, 110) : QColor(Qt::black));
    }
    if (d->dropPosition >= 0) {
        const QRectF flow = d->layout->caretRect(d->dropPosition);
        const QPointF top = g.flowToContent(flow.topLeft()) - scroll;
        painter.fillRect(QRectF(top, QSizeF(2, flow.height() * g.scale())), Qt::black);
    }
}

void TTextEngine::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    d->updateScrollBars();
    emit viewGeometryChanged();
}

void TTextEngine::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    viewport()->update();
    emit viewGeometryChanged();
}

void TTextEngine::keyPressEvent(QKeyEvent *event)
{
    if (!d->preedit.isEmpty()) {
        // Keys belong to the input method while it composes.
        event->accept();
        return;
    }
    if (d->handleKey(event)) {
        event->accept();
        d->ensureCaretVisible();
        d->restartBlink();
        d->afterUserAction();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TTextEngine::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    d->clearPreedit();
    const QPointF point = event->position();
    const int position = d->hitTest(point);
    d->desiredX = -1;
    d->tracker.breakGroup();
    d->pressPosition = point.toPoint();
    d->lastMouse = point;

    const bool tripleClick = d->lastDoubleClick.isValid()
        && d->lastDoubleClick.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval()
        && (point.toPoint() - d->lastDoubleClickPosition).manhattanLength()
            < QGuiApplication::styleHints()->startDragDistance();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (tripleClick) {
        d->lastDoubleClick.invalidate();
        const QTextBlock block = document()->findBlock(position);
        d->selectionOrigin = block.position();
        d->selectionOriginEnd = block.position() + block.length() - 1;
        d->cursor.setPosition(d->selectionOrigin);
        d->cursor.setPosition(d->selectionOriginEnd, QTextCursor::KeepAnchor);
        d->drag = TTextEnginePrivate::Drag::Paragraphs;
    } else if (!shift && d->cursor.hasSelection() && position >= d->cursor.selectionStart()
               && position < d->cursor.selectionEnd()) {
        d->drag = TTextEnginePrivate::Drag::Pending;
    } else {
        d->cursor.setPosition(position, shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        d->drag = TTextEnginePrivate::Drag::Selecting;
    }
    d->restartBlink();
    d->afterUserAction();
}

void TTextEngine::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF point = event->position();
    d->lastMouse = point;
    if (!(event->buttons() & Qt::LeftButton))
        return;
    using Drag = TTextEnginePrivate::Drag;
    if (d->drag == Drag::Pending) {
        if ((point.toPoint() - d->pressPosition).manhattanLength()
            >= QGuiApplication::styleHints()->startDragDistance())
            d->startDrag();
        return;
    }
    if (d->drag == Drag::None)
        return;
    d->extendDragSelection(point);
    if (viewport()->rect().contains(point.toPoint()))
        d->autoScroll.stop();
    else if (!d->autoScroll.isActive())
        d->autoScroll.start();
    d->ensureCaretVisible();
    d->afterUserAction();
}

void TTextEngine::mouseReleaseEvent(QMouseEvent *event)
{
    d->autoScroll.stop();
    if (d->drag == TTextEnginePrivate::Drag::Pending && event->button() == Qt::LeftButton) {
        d->cursor.setPosition(d->hitTest(event->position()));
        d->afterUserAction();
    }
    d->drag = TTextEnginePrivate::Drag::None;
    event->accept();
}

void TTextEngine::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const int position = d->hitTest(event->position());
    d->cursor.setPosition(position);
    d->cursor.select(QTextCursor::WordUnderCursor);
    d->selectionOrigin = d->cursor.selectionStart();
    d->selectionOriginEnd = d->cursor.selectionEnd();
    d->drag = TTextEnginePrivate::Drag::Words;
    d->lastDoubleClick.start();
    d->lastDoubleClickPosition = event->position().toPoint();
    d->tracker.breakGroup();
    d->afterUserAction();
}

void TTextEngine::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0)
            setZoomFactor(ZoomFactor() + steps * 10);
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void TTextEngine::inputMethodEvent(QInputMethodEvent *event)
{
    d->clearPreedit();
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        QTextCursor at = d->cursor;
        if (event->replacementLength() > 0) {
            const int start = std::max(0, at.position() + event->replacementStart());
            at.setPosition(start);
            at.setPosition(std::min(start + event->replacementLength(), document()->characterCount() - 1),
                           QTextCursor::KeepAnchor);
        }
        // Each conversion the user confirms is a step of its own.
        d->tracker.breakGroup();
        if (!event->commitString().isEmpty())
            d->editor.type(at, event->commitString(), d->overwrite);
        else
            d->editor.removeSelection(at);
        d->cursor = at;
        d->tracker.breakGroup();
    }
    d->setPreedit(event);
    event->accept();
    d->ensureCaretVisible();
    d->restartBlink();
    d->afterUserAction();
}

QVariant TTextEngine::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QTextBlock block = d->cursor.block();
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return d->caretViewportRect().translated(viewport()->pos()).toAlignedRect();
    case Qt::ImFont: {
        QFont font = d->cursor.charFormat().font().resolve(document()->defaultFont());
        font.setPointSizeF(font.pointSizeF() * d->zoom / 100.0);
        return font;
    }
    case Qt::ImCursorPosition:
        return d->cursor.position() - block.position();
    case Qt::ImAnchorPosition:
        return std::clamp(d->cursor.anchor() - block.position(), 0, block.length() - 1);
    case Qt::ImSurroundingText:
        return block.text();
    case Qt::ImCurrentSelection:
        return d->cursor.selectedText();
    case Qt::ImAbsolutePosition:
        return d->cursor.position();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TTextEngine::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    d->restartBlink();
}

void TTextEngine::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    d->blink.stop();
    d->caretOn = false;
    viewport()->update();
}

bool TTextEngine::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // The engine's own editing keys win over any shortcut around it.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key == QKeySequence::Undo || key == QKeySequence::Redo || key == QKeySequence::Cut
            || key == QKeySequence::Copy || key == QKeySequence::Paste || key == QKeySequence::SelectAll
            || (key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier)
            || key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::ShiftModifier) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        // Tab types a tab (or moves between cells) instead of moving focus.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QAbstractScrollArea::event(event);
}

void TTextEngine::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText() || event->mimeData()->hasHtml() || event->mimeData()->hasImage())
        event->acceptProposedAction();
}

void TTextEngine::dragMoveEvent(QDragMoveEvent *event)
{
    d->dropPosition = d->hitTest(event->position());
    const bool inside = event->source() == viewport() || event->source() == this;
    if (inside && d->dropPosition >= d->cursor.selectionStart() && d->dropPosition <= d->cursor.selectionEnd()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
    viewport()->update();
}

void TTextEngine::dragLeaveEvent(QDragLeaveEvent *event)
{
    Q_UNUSED(event);
    d->dropPosition = -1;
    viewport()->update();
}

void TTextEngine::dropEvent(QDropEvent *event)
{
    const int position = d->hitTest(event->position());
    d->dropPosition = -1;
    const bool inside = event->source() == this || event->source() == viewport();
    QTextCursor at(document());
    at.setPosition(position);
    if (inside && event->dropAction() == Qt::MoveAction) {
        if (position >= d->cursor.selectionStart() && position <= d->cursor.selectionEnd()) {
            event->ignore();
            return;
        }
        // Moving inside the document: take the text out and put it in, one step.
        const QTextDocumentFragment fragment(d->cursor);
        QTextCursor source = d->cursor;
        d->tracker.beginEdit(at, UndoKindTracker::Typing);
        source.removeSelectedText();
        at.insertFragment(fragment);
        d->tracker.endEdit(at);
        d->tracker.breakGroup();
        const int end = at.position();
        d->cursor.setPosition(end - fragment.toPlainText().size());
        d->cursor.setPosition(end, QTextCursor::KeepAnchor);
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        QTextCursor target = at;
        if (d->insertMimeData(event->mimeData(), target)) {
            d->cursor = target;
            event->acceptProposedAction();
        }
    }
    setFocus(Qt::MouseFocusReason);
    d->afterUserAction();
}
