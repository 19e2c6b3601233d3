#pragma once

// The engine widget's private state. TTextEngine is a facade: the layout,
// painting, editing and undo kinds live in their own classes, and this
// struct ties them to one widget.

#include "engine/DocumentModel.h"
#include "engine/editing/CharacterFormats.h"
#include "engine/editing/ClipboardBridge.h"
#include "engine/editing/EditCommands.h"
#include "engine/editing/UndoKindTracker.h"
#include "engine/layout/HeaderFooterLayout.h"
#include "engine/layout/PageLayout.h"
#include "engine/view/HeaderFooterEditor.h"
#include "engine/view/ViewGeometry.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <QTextCursor>
#include <QTimer>

#include <optional>

class QMimeData;
class TTextEngine;
class TEngineRuler;
class TEngineButtonBar;
class TEngineStatusBar;

class TTextEnginePrivate
{
public:
    explicit TTextEnginePrivate(TTextEngine *engine);

    TTextEngine *q;
    tamapiko::engine::DocumentModel model;
    tamapiko::engine::PageLayout *layout;       // owned by the document
    tamapiko::engine::HeaderFooterLayout headerFooterLayout{model.headerFooters()};
    std::vector<int> bandHeights;   // what the body last made way for (checkBandHeights)
    QTextCursor cursor;
    tamapiko::engine::UndoKindTracker tracker;
    tamapiko::engine::EditCommands editor;
    tamapiko::engine::ClipboardBridge clipboard;

    // Properties
    int viewMode = 1;
    int zoom = 100;
    int scrollBars = 3;
    int mousePointer = 0;
    int printZoom = 100;
    bool controlChars = false;
    bool formatSelection = true;
    bool gridLines = true;
    bool overwrite = false;
    QPainter *printDevice = nullptr;
    QPointer<TEngineRuler> ruler;
    QPointer<TEngineButtonBar> buttonBar;
    QPointer<TEngineStatusBar> statusBar;
    QString error;

    // Caret
    QTimer blink;
    bool caretOn = true;
    qreal desiredX = -1;                  // flow x kept by vertical moves

    // Mouse
    enum class Drag { None, Selecting, Words, Paragraphs, Pending };
    Drag drag = Drag::None;
    QPoint pressPosition;
    QPointF lastMouse;
    QElapsedTimer lastDoubleClick;
    QPoint lastDoubleClickPosition;
    int selectionOrigin = 0;              // the word or paragraph a drag started in
    int selectionOriginEnd = 0;
    QTimer autoScroll;
    int dropPosition = -1;

    // Pictures and objects at a fixed place: the one selected with the
    // mouse (its anchor character; null when none) and a move or resize.
    QTextCursor selectedObject;
    enum class ObjectDrag { None, Pressed, Moving };
    ObjectDrag objectDrag = ObjectDrag::None;
    int objectHandle = -1;                // -1 the body (move), 0..7 a handle (resize)
    int objectPressPage = 0;
    QPointF objectPressSheet;             // twips on that page
    QRect objectStartRect;                // sheet twips before the drag
    QRect objectDragRect;                 // what the drag makes of it
    int objectDragPage = 0;

    // Header or footer being edited (created on first use)
    QPointer<tamapiko::engine::HeaderFooterEditor> storyEditor;

    // Input method
    QString preedit;
    int preeditCursor = 0;
    QTextBlock preeditBlock;

    // Notifications, sent once per user action
    bool changed = false;
    int loading = 0;
    int reportedPosition = -1;
    int reportedAnchor = -1;
    QTextBlock reportedBlock;
    bool flushQueued = false;

    tamapiko::engine::ViewGeometry geometry() const;
    double pixelsPerTwip() const;
    QString chooseObjectFile();
    std::optional<QTextImageFormat> objectFormat(int kind, const QString &fileName, int width, int height,
                                                 int imageFlag, int *result);

    // Sheets: twips from a page's top-left corner, in whichever view.
    QPointF contentToSheet(const QPointF &contentPoint, int *page) const;
    QPointF viewportToSheet(const QPointF &viewportPoint, int *page) const;
    QRectF sheetToViewport(int page, const QRectF &sheetRect) const;
    // A viewport point in twips from the corner of a given page's sheet.
    QPointF sheetOnPage(int page, const QPointF &viewportPoint) const;
    // Where an object standing at `sheetPoint` of `page` is anchored.
    int anchorPositionFor(int page, const QPointF &sheetPoint) const;
    void insertAnchoredObject(const QTextImageFormat &format, int page);
    // Inserts the object's character and selects the object.
    void anchorObjectAt(int position, const QTextImageFormat &format);
    std::optional<tamapiko::engine::PlacedObject> selectedPlacedObject() const;
    // Mouse and keys on anchored objects; true when they took the event.
    bool pressOnObject(const QPointF &viewportPoint, Qt::KeyboardModifiers modifiers);
    bool moveOverObject(const QPointF &viewportPoint, Qt::MouseButtons buttons);
    bool releaseObject(const QPointF &viewportPoint);
    bool openSelectedObject(const QPointF &viewportPoint);
    bool handleObjectKey(QKeyEvent *event);
    void paintObjectSelection(QPainter &painter) const;
    // Once per document opened: which linked pictures' files are missing
    // (they show as placeholders). Never blocks the opening.
    void reportMissingLinks();
    bool openObjectAt(int position);
    QPointF scrollOffset() const;
    // The last page the viewport shows (from 0); INT_MAX when pages still
    // being laid out may appear in it.
    int lastShownPage() const;
    int hitTest(const QPointF &viewportPoint) const;
    QRectF caretViewportRect() const;     // pixels, in viewport coordinates

    void updateScrollBars();
    void ensureCaretVisible();
    void restartBlink();
    void afterUserAction();               // sends the notifications that are due
    // The character setters' one body: the selection (or the typing format
    // at the caret) takes `format`; with FormatSelection off, all the text.
    void formatCharacters(const QTextCharFormat &format);
    tamapiko::engine::SelectionCharFormat caretCharacters() const;
    void queueFlush();

    bool handleKey(QKeyEvent *event);
    void moveVertically(int lines, QTextCursor::MoveMode mode);
    void movePage(int direction, QTextCursor::MoveMode mode);
    void moveToCell(int direction);
    void selectAll();
    void extendDragSelection(const QPointF &viewportPoint);
    void autoScrollStep();

    void startDrag();

    // Headers and footers: a double-click above a page's body opens its
    // header, below it its footer (page layout view only).
    bool openHeaderFooterAt(const QPointF &viewportPoint);
    bool isEditingHeaderFooter() const { return storyEditor && storyEditor->isOpen(); }
    void closeHeaderFooter();
    void placeHeaderFooterEditor();
    void checkBandHeights();
    void applyBands();
    QRectF bandViewportRect(int page, tamapiko::engine::HeaderFooterKind kind) const;

    void setPreedit(const QInputMethodEvent *event);
    void clearPreedit();

    // Reads a file with a filter into a separate model and pastes it at the
    // caret as one step.
    bool insertFile(const QString &fileName, int format);

    void applyDefaultFont();
};
