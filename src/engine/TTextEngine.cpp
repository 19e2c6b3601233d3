#include "engine/TTextEngine.h"

#include "engine/EngineProperties.h"
#include "engine/FontSubstitution.h"
#include "engine/TEngineButtonBar.h"
#include "engine/TEngineRuler.h"
#include "engine/TEngineStatusBar.h"
#include "engine/TTextEngine_p.h"
#include "engine/dialogs/CharacterDialog.h"
#include "engine/dialogs/FindReplaceDialog.h"
#include "engine/dialogs/ParagraphDialog.h"
#include "engine/dialogs/TableDialog.h"
#include "engine/editing/CharacterFormats.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/editing/ClipboardBridge.h"
#include "engine/editing/ParagraphFormats.h"
#include "engine/editing/EmbeddedObject.h"
#include "engine/editing/PictureReader.h"
#include "engine/editing/TableCommands.h"
#include "engine/io/DocumentStorage.h"
#include "engine/layout/InlinePictureSize.h"
#include "engine/view/PagePainter.h"
#include "engine/view/SheetPainter.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>

#include <algorithm>
#include <climits>
#include <cmath>

using namespace tamapiko::engine;

namespace {

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
    , clipboard(model.document(), editor)
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

int TTextEnginePrivate::lastShownPage() const
{
    const int known = layout->knownPageCount();
    int first = 0;
    int last = 0;
    const qreal top = scrollOffset().y();
    geometry().pagesInBand(top, top + q->viewport()->height(), &first, &last);
    // The view reaching the last page known may show pages still to come.
    return last >= known - 1 ? INT_MAX : last;
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



// ---------------------------------------------------------------------------
// Headers and footers

QRectF TTextEnginePrivate::bandViewportRect(int page, HeaderFooterKind kind) const
{
    const ViewGeometry g = geometry();
    const PageFrame &frame = layout->pages().page(page);
    const QRect band = kind == HeaderFooterKind::Header ? frame.header : frame.footer;
    const QPointF sheet = g.sheetRect(page).topLeft() - scrollOffset();
    return QRectF(sheet + QPointF(band.topLeft()) * g.scale(), QSizeF(band.size()) * g.scale());
}

bool TTextEnginePrivate::openHeaderFooterAt(const QPointF &viewportPoint)
{
    if (viewMode == 0)
        return false;
    const ViewGeometry g = geometry();
    int page = 0;
    g.contentToFlow(viewportPoint + scrollOffset(), &page);
    const QRectF sheet = g.sheetRect(page).translated(-scrollOffset());
    if (!sheet.contains(viewportPoint))
        return false;
    const PageFrame &frame = layout->pages().page(page);
    const qreal y = (viewportPoint.y() - sheet.top()) / g.scale();
    HeaderFooterKind kind;
    if (y < frame.body.top())
        kind = HeaderFooterKind::Header;
    else if (y > frame.body.bottom())
        kind = HeaderFooterKind::Footer;
    else
        return false;

    HeaderFooterSet &set = model.headerFooters();
    const PagePlace place = layout->pages().placeOf(page);
    QTextDocument *story = set.storyForPage(kind, place);
    if (!story) {
        // No section up to this one has the story: it starts in the first,
        // which every later section shows unless it holds one of its own.
        HeaderFooterPages pages = HeaderFooterPages::Default;
        if (set.differentFirstPage(place.section) && place.opensSection)
            pages = HeaderFooterPages::First;
        else if (set.differentEvenPages() && page % 2 == 1)
            pages = HeaderFooterPages::Even;
        story = set.ensureStory(kind, pages);
    }
    if (!storyEditor) {
        storyEditor = new HeaderFooterEditor(q->viewport());
        QObject::connect(storyEditor, &HeaderFooterEditor::returnRequested, q, [this] {
            closeHeaderFooter();
        });
    }
    clearPreedit();
    storyEditor->open(story, kind, page);
    // Typing in a header changes the document as typing in the body does.
    QObject::connect(story, &QTextDocument::contentsChanged, storyEditor, [this] {
        changed = true;
        queueFlush();
        placeHeaderFooterEditor();
    });
    placeHeaderFooterEditor();
    return true;
}

// The body makes way for headers and footers taller than their margins.
// Typing in one changes its height only now and then: the body is laid out
// again only when a story's height or the stories pages show did change.
void TTextEnginePrivate::checkBandHeights()
{
    // A file being read adds its stories one by one: LoadDocument applies
    // them once at the end.
    if (loading)
        return;
    const HeaderFooterSet &set = model.headerFooters();
    std::vector<int> heights{set.differentEvenPages() ? 1 : 0};
    const int width = layout->textWidth();
    for (int section = 0; section < set.sectionCount(); ++section) {
        heights.push_back(set.differentFirstPage(section) ? 1 : 0);
        for (const HeaderFooterKind kind : {HeaderFooterKind::Header, HeaderFooterKind::Footer}) {
            for (const HeaderFooterPages pages :
                 {HeaderFooterPages::Default, HeaderFooterPages::First, HeaderFooterPages::Even}) {
                QTextDocument *story = set.story(kind, pages, section);
                heights.push_back(story ? headerFooterLayout.heightOf(story, width) : -1);
            }
        }
    }
    if (heights == bandHeights)
        return;
    bandHeights = std::move(heights);
    applyBands();
}

void TTextEnginePrivate::applyBands()
{
    // Without stories every page is alike, which the layout makes use of.
    if (model.headerFooters().isEmpty()) {
        layout->setBandHeights(nullptr);
        return;
    }
    layout->setBandHeights([this](const PagePlace &place, int width) {
        return PageTable::BandHeights{headerFooterLayout.heightOf(HeaderFooterKind::Header, place, width),
                                      headerFooterLayout.heightOf(HeaderFooterKind::Footer, place, width)};
    });
}

void TTextEnginePrivate::placeHeaderFooterEditor()
{
    if (isEditingHeaderFooter())
        storyEditor->place(bandViewportRect(storyEditor->page(), storyEditor->kind()));
}

void TTextEnginePrivate::closeHeaderFooter()
{
    if (!isEditingHeaderFooter())
        return;
    QTextDocument *story = storyEditor->story();
    QObject::disconnect(story, nullptr, storyEditor, nullptr);
    storyEditor->close();
    // A first section's story left empty is no story: the pages show none.
    // A later section's empty story stays, blanking the band there instead
    // of showing the story of the section before.
    HeaderFooterSet &set = model.headerFooters();
    if (story->isEmpty()) {
        for (const HeaderFooterKind kind : {HeaderFooterKind::Header, HeaderFooterKind::Footer}) {
            for (const HeaderFooterPages pages :
                 {HeaderFooterPages::Default, HeaderFooterPages::First, HeaderFooterPages::Even}) {
                if (set.story(kind, pages) == story)
                    set.removeStory(kind, pages);
            }
        }
    }
    q->setFocus(Qt::OtherFocusReason);
    q->viewport()->update();
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
    connect(&d->model.headerFooters(), &HeaderFooterSet::changed, this, [this] {
        d->checkBandHeights();
        viewport()->update();
    });
    connect(d->layout, &PageLayout::pagesChanged, this, [this](int firstPage) {
        d->updateScrollBars();
        // Background pagination far below the view leaves the screen as it is.
        if (firstPage <= d->lastShownPage())
            viewport()->update();
    });
    connect(d->layout, &QAbstractTextDocumentLayout::pageCountChanged, this, [this] {
        // Page count fields in the headers and footers on screen change too.
        if (!d->model.headerFooters().isEmpty())
            viewport()->update();
        emit viewGeometryChanged();
    });
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

SelectionCharFormat TTextEnginePrivate::caretCharacters() const
{
    return readCharFormat(cursor, q->document()->defaultFont());
}

void TTextEnginePrivate::formatCharacters(const QTextCharFormat &format)
{
    if (formatSelection) {
        editor.mergeCharFormat(cursor, format);
    } else {
        QTextCursor all(q->document());
        all.select(QTextCursor::Document);
        editor.mergeCharFormat(all, format);
    }
    afterUserAction();
}

QString TTextEngine::FontName() const
{
    return d->caretCharacters().fontName;
}

void TTextEngine::setFontName(const QString &name)
{
    if (name.trimmed().isEmpty())
        return;
    QTextCharFormat format;
    format.setFontFamilies(QStringList{name});
    d->formatCharacters(format);
}

double TTextEngine::FontSize() const
{
    return d->caretCharacters().fontSize;
}

void TTextEngine::setFontSize(double points)
{
    if (!(points > 0))
        return;
    QTextCharFormat format;
    format.setFontPointSize(std::min(points, 1638.0));
    d->formatCharacters(format);
}

int TTextEngine::FontBold() const
{
    return d->caretCharacters().bold;
}

void TTextEngine::setFontBold(int on)
{
    QTextCharFormat format;
    format.setFontWeight(on == 1 ? QFont::Bold : QFont::Normal);
    d->formatCharacters(format);
}

int TTextEngine::FontItalic() const
{
    return d->caretCharacters().italic;
}

void TTextEngine::setFontItalic(int on)
{
    QTextCharFormat format;
    format.setFontItalic(on == 1);
    d->formatCharacters(format);
}

int TTextEngine::FontUnderline() const
{
    return d->caretCharacters().underline;
}

void TTextEngine::setFontUnderline(int on)
{
    QTextCharFormat format;
    format.setFontUnderline(on == 1);
    d->formatCharacters(format);
}

int TTextEngine::ForeColor() const
{
    return d->caretCharacters().foreColor;
}

void TTextEngine::setForeColor(int rgb)
{
    if (rgb < 0)
        return;
    QTextCharFormat format;
    format.setForeground(rgbToColor(rgb));
    d->formatCharacters(format);
}

int TTextEngine::TextBkColor() const
{
    return d->caretCharacters().backColor;
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
    d->formatCharacters(format);
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

int TTextEngine::Alignment() const
{
    return selectedAlignment(d->cursor);
}

void TTextEngine::setAlignment(int alignment)
{
    if (alignment < 0 || alignment > 3)
        return;
    QTextBlockFormat format;
    format.setAlignment(alignmentFromCode(alignment));
    d->editor.mergeBlockFormat(d->cursor, format);
    d->afterUserAction();
}

int TTextEngine::FrameStyle() const
{
    // Over several paragraphs: the frame parts all of them have, never -1,
    // which would read as every part switched on.
    int common = 0xFF;
    forEachSelectedBlock(d->cursor, [&](const QTextBlock &block) {
        common &= block.blockFormat().intProperty(ParagraphFrameStyle);
    });
    return common;
}

void TTextEngine::setFrameStyle(int style)
{
    // Each paragraph keeps the frame parts the style does not name.
    applyEdit(EditKind::Frame, [style](QTextCursor &selection) {
        forEachSelectedBlock(selection, [style](const QTextBlock &block) {
            const int value = mergedFrameStyle(block.blockFormat().intProperty(ParagraphFrameStyle), style);
            QTextBlockFormat format;
            format.setProperty(ParagraphFrameStyle, value);
            if (!block.blockFormat().hasProperty(ParagraphFrameLineWidth))
                format.setProperty(ParagraphFrameLineWidth, 20);
            QTextCursor(block).mergeBlockFormat(format);
        });
    });
}

int TTextEngine::FrameLineWidth() const
{
    return selectedBlockProperty(d->cursor, ParagraphFrameLineWidth, 20);
}

void TTextEngine::setFrameLineWidth(int twips)
{
    if (twips < 0)
        return;
    QTextBlockFormat format;
    format.setProperty(ParagraphFrameLineWidth, std::min(twips, 1440));
    d->editor.mergeBlockFormat(d->cursor, format, EditKind::Frame);
    d->afterUserAction();
}

int TTextEngine::FrameDistance() const
{
    return selectedBlockProperty(d->cursor, ParagraphFrameDistance, 0);
}

void TTextEngine::setFrameDistance(int twips)
{
    if (twips < 0)
        return;
    QTextBlockFormat format;
    format.setProperty(ParagraphFrameDistance, std::min(twips, 1440));
    d->editor.mergeBlockFormat(d->cursor, format, EditKind::Frame);
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
    // Hidden text shows, and takes its room, only with the marks.
    d->layout->setShowHiddenText(show);
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
    if (!tableSizeAllowed(rows, columns, &d->error))
        return ResultBadArgument;
    applyEdit(EditKind::Table, [&](QTextCursor &at) {
        if (position >= 0)
            at.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
        insertTable(at, rows, columns);
    });
    d->ensureCaretVisible();
    return ResultOk;
}

bool TTextEngine::TableDeleteLines()
{
    if (!d->cursor.currentTable()) {
        d->error = QStringLiteral("The caret is not in a table");
        return false;
    }
    bool done = false;
    applyEdit(EditKind::Table, [&](QTextCursor &selection) { done = deleteSelectedRows(selection); });
    return done;
}

bool TTextEngine::TableAttrDialog()
{
    QTextTable *table = d->cursor.currentTable();
    if (!table) {
        d->error = QStringLiteral("The caret is not in a table");
        return false;
    }
    const CellRange cells = selectedCells(d->cursor);
    const QTextTableCell first = table->cellAt(cells.row, cells.column);
    const QTextTableCell atCaret = table->cellAt(d->cursor);

    tamapiko::engine::TableDialog::Current current;
    current.table = table->format();
    QList<QTextLength> constraints = current.table.columnWidthConstraints();
    while (constraints.size() < table->columns())
        constraints.append(QTextLength());
    current.table.setColumnWidthConstraints(constraints);
    current.column = std::max(0, atCaret.column());
    current.textWidthPoints = d->layout->textWidth() / 20.0;
    current.cell = first.format().toTableCellFormat();
    current.rowHeightTwips = first.format().intProperty(TableRowMinimumHeight);
    current.canMerge = d->cursor.hasComplexSelection();   // several cells selected
    current.canSplit = atCaret.rowSpan() > 1 || atCaret.columnSpan() > 1;
    tamapiko::engine::TableDialog dialog(current, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;

    applyEdit(EditKind::Table, [&](QTextCursor &cursor) {
        table->setFormat(dialog.result());
        setCellFormats(table, cells, dialog.cellChanges(), dialog.cellPropertiesToClear());
        if (const std::optional<int> height = dialog.rowHeightChange())
            setRowHeight(table, cells, *height);
        if (dialog.mergeRequested())
            table->mergeCells(cells.row, cells.column, cells.rows, cells.columns);
        else if (dialog.splitRequested())
            table->splitCell(atCaret.row(), atCaret.column(), 1, 1);
        if (dialog.mergeRequested() || dialog.splitRequested())
            cursor = table->cellAt(cells.row, cells.column).firstCursorPosition();
    });
    return true;
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
    // A printer that is not in full-page mode puts the painter's origin at
    // the corner of its printable area; the document's margins are measured
    // from the paper's edge, so move back to it.
    QPointF origin;
    if (const auto *paged = dynamic_cast<QPagedPaintDevice *>(device)) {
        const QPageLayout pageLayout = paged->pageLayout();
        if (pageLayout.mode() != QPageLayout::FullPageMode)
            origin = -QPointF(pageLayout.paintRectPixels(device->logicalDpiX()).topLeft());
    }
    PagePainter::Options options;
    options.tableGridLines = false;
    SheetPainter(*d->layout, options, &d->headerFooterLayout).paintSheet(painter, page - 1, origin, sx, sy);
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
    const QTextBlock first = document()->findBlock(d->cursor.selectionStart());
    using Dialog = tamapiko::engine::ParagraphDialog;
    const Dialog::Unit unit = TEngineRuler::unitForLanguage(Language()) == TEngineRuler::Unit::Inch
        ? Dialog::Unit::Inch
        : Dialog::Unit::Millimetre;
    Dialog dialog(first.blockFormat(), unit, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QTextBlockFormat changes = dialog.changes();
    if (!changes.properties().isEmpty())
        d->editor.mergeBlockFormat(d->cursor, changes);
    d->afterUserAction();
    return true;
}

bool TTextEngine::FontDialog()
{
    tamapiko::engine::CharacterDialog dialog(d->cursor, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QTextCharFormat changes = dialog.changes();
    if (!changes.properties().isEmpty())
        d->editor.mergeCharFormat(d->cursor, changes);
    d->afterUserAction();
    return true;
}

bool TTextEngine::FindReplaceDialog(int mode)
{
    using Dialog = tamapiko::engine::FindReplaceDialog;
    if (mode != 1 && mode != 2)
        return false;
    // One modeless dialog per engine, keeping its texts and options.
    auto *dialog = findChild<Dialog *>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new Dialog(this);
    dialog->showFor(mode == 2 ? Dialog::Mode::Replace : Dialog::Mode::Find);
    return true;
}

// --- Clipboard -------------------------------------------------------------

bool TTextEngine::ClipboardAction(int action)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    bool done = false;
    switch (action) {
    case 1:
        if (d->cursor.hasSelection() && clipboard) {
            clipboard->setMimeData(d->clipboard.mimeData(d->cursor));
            done = d->editor.removeSelection(d->cursor);
        }
        break;
    case 2:
        if (d->cursor.hasSelection() && clipboard) {
            clipboard->setMimeData(d->clipboard.mimeData(d->cursor));
            done = true;
        }
        break;
    case 3:
        if (clipboard)
            done = d->clipboard.insert(clipboard->mimeData(), d->cursor);
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

bool TTextEnginePrivate::insertFile(const QString &fileName, int format)
{
    DocumentModel source;
    const FileOutcome outcome = readDocumentFile(fileName, 0, format, source);
    if (!outcome.ok()) {
        error = outcome.message;
        return false;
    }
    clipboard.insertDocument(source, cursor);
    ensureCaretVisible();
    afterUserAction();
    return true;
}

bool TTextEngine::InsertRtfFile(const QString &fileName, int option)
{
    Q_UNUSED(option);
    return d->insertFile(fileName, 5);
}

bool TTextEngine::InsertTextFile(const QString &fileName)
{
    return d->insertFile(fileName, 1);
}

static_assert(TTextEngine::InsertCancelled == ResultCancelled);

// Double-clicking an embedded object opens it with the desktop's program.
// The hit position falls before or after the object, depending on the half
// that was clicked.
bool TTextEnginePrivate::openObjectAt(int position)
{
    for (const int at : {position, position - 1}) {
        if (at < 0 || at >= q->document()->characterCount() - 1)
            continue;
        QTextCursor character(q->document());
        character.setPosition(at);
        character.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        if (!isEmbeddedObject(character.charFormat()))
            continue;
        cursor = character;
        afterUserAction();
        if (!openEmbeddedObject(character.charFormat(), &error))
            QMessageBox::warning(q, QStringLiteral("ｴﾗｰ"), error);
        return true;
    }
    return false;
}

// The file of an object: the engine's own dialog, which remembers its folder.
QString TTextEnginePrivate::chooseObjectFile()
{
    auto *dialog = q->findChild<QFileDialog *>(QStringLiteral("ObjectDialog1"), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new QFileDialog(q, QStringLiteral("オブジェクトの挿入"));
        dialog->setObjectName(QStringLiteral("ObjectDialog1"));
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setNameFilter(QStringLiteral("すべてのファイル (*)"));
    }
    for (QAbstractItemView *view : dialog->findChildren<QAbstractItemView *>())
        view->clearSelection(); // else the last object's file wins over a typed name
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    return dialog->selectedFiles().constFirst();
}

// The format of a picture (kind 0) or an embedded object (kind 1, its file
// chosen in the engine's dialog); nothing with `result` set otherwise.
std::optional<QTextImageFormat> TTextEnginePrivate::objectFormat(int kind, const QString &fileName, int width,
                                                                 int height, int imageFlag, int *result)
{
    std::optional<QTextImageFormat> format;
    switch (kind) {
    case 0:
        format = readPicture(q->document(), {fileName, width, height, imageFlag == 0}, &error);
        if (!format)
            *result = QFile::exists(fileName) ? ResultFormatError : ResultFileError;
        return format;
    case 1: {
        const QString chosen = chooseObjectFile();
        if (chosen.isEmpty()) {
            error = QStringLiteral("No file was chosen for the object");
            *result = ResultCancelled;
            return std::nullopt;
        }
        format = readEmbeddedObject(q->document(), chosen, &error);
        if (!format)
            *result = ResultFileError;
        return format;
    }
    default:
        error = QStringLiteral("Unknown kind of object %1").arg(kind);
        *result = ResultBadArgument;
        return std::nullopt;
    }
}

int TTextEngine::InsertObjectAsChar(int kind, const QString &fileName, int position, int width,
                                    int height, int a, int imageFlag, int option)
{
    Q_UNUSED(a);
    Q_UNUSED(option);
    int result = ResultOk;
    const std::optional<QTextImageFormat> format = d->objectFormat(kind, fileName, width, height, imageFlag, &result);
    if (!format)
        return result;

    QTextCursor at = d->cursor;
    if (position >= 0)
        at.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
    d->editor.apply(at, EditKind::Picture, [&format](QTextCursor &cursor) {
        if (cursor.hasSelection())
            cursor.removeSelectedText();
        cursor.insertImage(*format);
    });
    if (position < 0)
        d->cursor = at;
    d->ensureCaretVisible();
    d->afterUserAction();
    return ResultOk;
}

int TTextEngine::InsertObjectFixed(int kind, const QString &fileName, int x, int y, int width,
                                   int height, int a, int imageFlag, int b, int c, int dd, int e,
                                   int f, int g, int option)
{
    Q_UNUSED(a);
    Q_UNUSED(b);
    Q_UNUSED(c);
    Q_UNUSED(dd);
    Q_UNUSED(e);
    Q_UNUSED(f);
    Q_UNUSED(g);
    Q_UNUSED(option);
    int result = ResultOk;
    std::optional<QTextImageFormat> format = d->objectFormat(kind, fileName, width, height, imageFlag, &result);
    if (!format)
        return result;
    // (x, y) is a point of the document as ScrollPosY counts it, x from the
    // page's left edge: the object stands there on that page.
    const ViewGeometry geometry = d->geometry();
    const double scale = geometry.scale();
    int page = 0;
    const QPointF sheet = d->contentToSheet(QPointF(geometry.sheetLeft() + x * scale, y * scale), &page);
    const QSizeF size = inlinePictureSize(document(), *format, 0);
    AnchoredPlacement placement;
    placement.left = qRound(sheet.x());
    placement.top = qRound(sheet.y());
    placement.width = qRound(size.width());
    placement.height = qRound(size.height());
    placement.applyTo(*format);
    d->insertAnchoredObject(*format, page);
    return ResultOk;
}

int TTextEngine::LoadDocument(const QString &fileName, int offset, int format, int flag)
{
    Q_UNUSED(flag);
    if (!FilterRegistry::instance().filter(format)) {
        d->error = QStringLiteral("Unknown document format %1").arg(format);
        return ResultUnknownFormat;
    }
    // Checked first: a file that cannot be read leaves the document alone.
    const QFileInfo probe(fileName);
    const QString unreadable = !probe.exists()       ? QStringLiteral("No such file or directory")
                               : !probe.isFile()     ? QStringLiteral("not a regular file")
                               : !probe.isReadable() ? QStringLiteral("Permission denied")
                               : offset < 0 || offset > probe.size() ? QStringLiteral("no data at offset %1").arg(offset)
                                                                     : QString();
    if (!unreadable.isEmpty()) {
        d->error = QStringLiteral("%1: %2").arg(fileName, unreadable);
        return ResultFileError;
    }

    QTextDocument *document = d->model.document();
    d->closeHeaderFooter();
    d->clearPreedit();
    ++d->loading;
    d->layout->setSuspended(true);
    document->setUndoRedoEnabled(false);
    document->clear();
    d->model.clearSourceProperties();
    d->model.headerFooters().clear();
    d->applyDefaultFont();
    const FileOutcome outcome = readDocumentFile(fileName, offset, format, d->model);
    if (!outcome.ok()) {
        // Never leave half a document behind that could be saved over the file.
        document->clear();
        d->applyDefaultFont();
    }
    document->setUndoRedoEnabled(true);
    d->tracker.reset();
    d->cursor = QTextCursor(document);
    d->bandHeights.clear();   // measured when a story is next edited
    d->applyBands();
    d->layout->setSuspended(false);
    --d->loading;
    d->changed = false;
    verticalScrollBar()->setValue(0);
    d->updateScrollBars();
    viewport()->update();
    d->afterUserAction();
    emit viewGeometryChanged();
    d->error = outcome.message;
    if (outcome.ok())
        d->reportMissingLinks();
    return outcome.code;
}

int TTextEngine::SaveDocument(const QString &fileName, int offset, int format, int flag)
{
    Q_UNUSED(flag);
    const FileOutcome outcome = writeDocumentFile(fileName, offset, format, d->model);
    d->error = outcome.message;
    return outcome.code;
}

void TTextEngine::applyEdit(EditKind kind, const std::function<void(QTextCursor &)> &change)
{
    d->editor.apply(d->cursor, kind, change);
    d->afterUserAction();
}

int TTextEngine::SaveDocumentAfter(const QString &fileName, const QByteArray &prefix, int format)
{
    const FileOutcome outcome = writeDocumentFile(fileName, prefix, format, d->model);
    d->error = outcome.message;
    return outcome.code;
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
    if (d->cursor.hasComplexSelection()) {
        options.selectedTable = d->cursor.currentTable();
        d->cursor.selectedTableCells(&options.firstSelectedRow, &options.selectedRows, &options.firstSelectedColumn,
                                     &options.selectedColumns);
    } else {
        options.selectionStart = d->cursor.selectionStart();
        options.selectionEnd = d->cursor.selectionEnd();
    }
    options.controlChars = d->controlChars;
    options.tableGridLines = d->gridLines;
    options.highlight = palette().color(QPalette::Highlight);
    options.highlightedText = palette().color(QPalette::HighlightedText);
    SheetPainter sheetPainter(*d->layout, options, &d->headerFooterLayout);

    for (int page = first; page <= last; ++page) {
        if (pageView) {
            const QRectF sheet = g.sheetRect(page).translated(-scroll);
            painter.fillRect(sheet.translated(3, 3), QColor(60, 60, 60));
            sheetPainter.paintSheet(&painter, page, sheet.topLeft(), g.scale(), g.scale());
            continue;
        }
        const QRectF area = g.textAreaRect(page).translated(-scroll);
        if (page > 0) {
            const qreal y = std::floor(area.top()) + 0.5;
            painter.save();
            painter.setPen(QPen(QColor(120, 120, 120), 1, Qt::DotLine));
            painter.drawLine(QPointF(0, y), QPointF(viewport()->width(), y));
            painter.restore();
        }
        sheetPainter.paintBody(&painter, page, area.topLeft(), g.scale());
    }

    if (hasFocus() && d->caretOn && !d->cursor.hasSelection()) {
        const QRectF caret = d->caretViewportRect();
        const qreal width = d->overwrite ? std::max(2.0, caret.height() / 2) : std::max(1.0, g.scale() * 15);
        painter.fillRect(QRectF(caret.left(), caret.top(), width, caret.height()),
                         d->overwrite ? QColor(0, 0, 0, 110) : QColor(Qt::black));
    }
    d->paintObjectSelection(painter);
    if (d->dropPosition >= 0) {
        const QRectF flow = d->layout->caretRect(d->dropPosition);
        const QPointF top = g.flowToContent(flow.topLeft()) - scroll;
        painter.fillRect(QRectF(top, QSizeF(2, flow.height() * g.scale())), Qt::black);
    }
}

void TTextEngine::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    d->placeHeaderFooterEditor();
    d->updateScrollBars();
    emit viewGeometryChanged();
}

void TTextEngine::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    d->placeHeaderFooterEditor();
    viewport()->update();
    emit viewGeometryChanged();
}

void TTextEngine::keyPressEvent(QKeyEvent *event)
{
    if (d->handleObjectKey(event)) {
        event->accept();
        d->afterUserAction();
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
    if (d->pressOnObject(point, event->modifiers())) {
        d->afterUserAction();
        return;
    }
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
    if (d->moveOverObject(point, event->buttons()))
        return;
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
    if (event->button() == Qt::LeftButton && d->releaseObject(event->position())) {
        d->afterUserAction();
        event->accept();
        return;
    }
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
    if (d->isEditingHeaderFooter()) {
        d->closeHeaderFooter(); // back to the body
        return;
    }
    if (d->openSelectedObject(event->position()))
        return;
    if (d->openHeaderFooterAt(event->position()))
        return;
    const int position = d->hitTest(event->position());
    if (d->openObjectAt(position))
        return;
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
    // Composition does not survive losing the focus: the input method is
    // reset with it, so its preedit must not stay on screen.
    if (!d->preedit.isEmpty()) {
        d->clearPreedit();
        d->afterUserAction();
    }
    d->blink.stop();
    d->caretOn = false;
    viewport()->update();
}

bool TTextEngine::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // The engine's own editing keys win over any shortcut around it;
        // other keys (function keys, Alt combinations) stay shortcuts.
        auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const bool standard = key == QKeySequence::Undo || key == QKeySequence::Redo
            || key == QKeySequence::Cut || key == QKeySequence::Copy || key == QKeySequence::Paste
            || key == QKeySequence::SelectAll
            || (key->key() == Qt::Key_Y && modifiers == Qt::ControlModifier);
        const bool editing = (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier)) == 0
            && ((key->key() >= Qt::Key_Backspace && key->key() <= Qt::Key_PageDown)
                || ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
                    && !(modifiers & Qt::ControlModifier)));
        const bool typing = (modifiers & ~Qt::ShiftModifier) == 0 && !key->text().isEmpty()
            && key->text().front().isPrint();
        if (standard || editing || typing) {
            event->accept();
            return true;
        }
        break;
    }
    case QEvent::KeyPress: {
        // Tab types a tab (or moves between cells) instead of moving focus.
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            && !(key->modifiers() & Qt::ControlModifier)) {
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
    // Files dropped onto the page are the host's to open; left alone, the
    // drag goes on to the window around the engine.
    if (ClipboardBridge::carriesFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    if (ClipboardBridge::canInsert(event->mimeData()))
        event->acceptProposedAction();
}

void TTextEngine::dragMoveEvent(QDragMoveEvent *event)
{
    if (ClipboardBridge::carriesFiles(event->mimeData())) {
        event->ignore();
        return;
    }
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
    if (ClipboardBridge::carriesFiles(event->mimeData())) {
        event->ignore();
        return;
    }
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
        d->editor.apply(at, EditKind::Paste, [&](QTextCursor &target) {
            source.removeSelectedText();
            target.insertFragment(fragment);
        });
        const int end = at.position();
        d->cursor.setPosition(end - fragment.toPlainText().size());
        d->cursor.setPosition(end, QTextCursor::KeepAnchor);
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        QTextCursor target = at;
        if (d->clipboard.insert(event->mimeData(), target)) {
            d->cursor = target;
            event->acceptProposedAction();
        }
    }
    setFocus(Qt::MouseFocusReason);
    d->afterUserAction();
}
