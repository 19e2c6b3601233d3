#pragma once

// TTextEngine: the paginated rich-text editing component.
//
// This header is the engine's whole public contract with the program. The
// program (frame, document windows, dialogs, printing) talks to the engine
// only through the members declared here; everything else under src/engine/
// is the engine's own business.
//
// Units and encodings at this boundary:
//  - lengths are twips (1440 per inch, 20 per point);
//  - zooms are percentages; font sizes are points;
//  - colours are RGB values with red in the low byte (0x00BBGGRR), -1 when a
//    selection holds several colours;
//  - engine booleans are 0 (false) and -1 (true);
//  - FontBold/FontItalic/FontUnderline read 1 (on), 0 (off) or 2 (mixed).

#include <QAbstractScrollArea>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QTextDocument;
class QTextCursor;

namespace tamapiko::engine {
class DocumentModel;
enum class EditKind;
}

class TEngineRuler;
class TEngineButtonBar;
class TEngineStatusBar;
class TTextEnginePrivate;

class TTextEngine : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TTextEngine(QWidget *parent = nullptr);
    ~TTextEngine() override;

    // Character (apply to the selection, or at the caret to what is typed next)
    QString FontName() const;            // "" when mixed
    void setFontName(const QString &name);
    double FontSize() const;             // points (10.5 stays 10.5), 0 when mixed
    void setFontSize(double points);
    int FontBold() const;                // 1, 0, or 2 when mixed
    void setFontBold(int on);            // 1 or 0
    int FontItalic() const;
    void setFontItalic(int on);
    int FontUnderline() const;
    void setFontUnderline(int on);
    int ForeColor() const;               // RGB (red low byte), -1 when mixed
    void setForeColor(int rgb);
    int TextBkColor() const;             // RGB, -1 when mixed
    void setTextBkColor(int rgb);
    bool FormatSelection() const;
    void setFormatSelection(bool on);

    // Paragraph (the paragraphs touched by the selection)
    int Alignment() const;               // 0 left, 1 right, 2 centred, 3 justified, -1 mixed
    void setAlignment(int alignment);
    int FrameStyle() const;              // 16-bit border bit set of the paragraph frame
    void setFrameStyle(int style);
    int FrameLineWidth() const;          // twips
    void setFrameLineWidth(int twips);
    int FrameDistance() const;           // twips
    void setFrameDistance(int twips);

    // Page
    int PageWidth() const;
    void setPageWidth(int twips);
    int PageHeight() const;
    void setPageHeight(int twips);
    int PageMarginL() const;
    void setPageMarginL(int twips);
    int PageMarginT() const;
    void setPageMarginT(int twips);
    int PageMarginR() const;
    void setPageMarginR(int twips);
    int PageMarginB() const;
    void setPageMarginB(int twips);
    int CurrentPages() const;            // page count as laid out now

    // View
    int ViewMode() const;                // 0 normal, 1 page layout
    void setViewMode(int mode);
    int ZoomFactor() const;              // percent, 10..400
    void setZoomFactor(int percent);
    bool ControlChars() const;
    void setControlChars(bool show);
    int ScrollBars() const;              // 0 none, 1 horizontal, 2 vertical, 3 both
    void setScrollBars(int which);
    int ScrollPosY() const;              // twips from document top to visible top
    int MousePointer() const;            // 0 default, 11 hourglass
    void setMousePointer(int pointer);
    int Language() const;                // 81 (Japanese) at start

    // Selection
    int SelStart() const;
    void setSelStart(int position);      // 0 with SelLength -1 selects all
    int SelLength() const;
    void setSelLength(int length);

    // Undo: 0 nothing, 1 typing, 2 deletion, 3 formatting;
    // redo: 0 nothing, 10, 11, 12 likewise.
    int CanUndo() const;
    int CanRedo() const;

    // Tables
    bool TableGridLines() const;
    void setTableGridLines(bool show);
    bool TableCanChangeAttr() const;     // true while the input position is in a table

    // Printing
    QPainter *PrintDevice() const;
    void setPrintDevice(QPainter *painter);
    int PrintZoom() const;
    void setPrintZoom(int percent);

    // Companions
    TEngineButtonBar *ButtonBarHandle() const;
    void setButtonBarHandle(TEngineButtonBar *bar);
    TEngineRuler *RulerHandle() const;
    void setRulerHandle(TEngineRuler *ruler);
    TEngineStatusBar *StatusBarHandle() const;
    void setStatusBarHandle(TEngineStatusBar *bar);
    WId hWnd() const { return winId(); }

    // Methods. WordBool results: true on success.
    bool PrintPage(int page);            // page from 1; false when out of range
    bool ParagraphDialog();
    bool FontDialog();
    bool TableAttrDialog();
    bool TableDeleteLines();
    bool Undo();
    bool Redo();
    bool FindReplaceDialog(int mode);    // 1 find, 2 replace
    bool ClipboardAction(int action);    // 1 cut, 2 copy, 3 paste, 4 delete
    bool InsertRtfFile(const QString &fileName, int option);
    bool InsertTextFile(const QString &fileName);
    // kind 0 picture, 1 object; position -1 is the input position.
    int InsertObjectAsChar(int kind, const QString &fileName, int position,
                           int width, int height, int a, int imageFlag, int option);
    int InsertObjectFixed(int kind, const QString &fileName, int x, int y,
                          int width, int height, int a, int imageFlag,
                          int b, int c, int d, int e, int f, int g, int option);
    // Format codes: 1 plain text, 3 native, 4 HTML, 5 RTF, 9 Word.
    // The data starts at byte `offset`; bytes before it are left alone.
    // Result 0 on success, otherwise an error code; errorString() says why.
    int LoadDocument(const QString &fileName, int offset, int format, int flag);
    int SaveDocument(const QString &fileName, int offset, int format, int flag);
    // Replaces the file with `prefix` followed by the document, in one step.
    int SaveDocumentAfter(const QString &fileName, const QByteArray &prefix, int format);
    int TableInsert(int rows, int columns, int position, int option);
    // 0 PageWidth, 1 PageHeight, 2..5 margins left, top, right, bottom.
    void SaveAttribute(int index, int value);

    QString errorString() const;

    // For the companions (ruler, status bar): where things are on screen.
    double pixelsPerTwip() const;        // zoom and screen resolution together
    int pageOriginX() const;             // x of the page's left edge in this widget, pixels
    int CurrentPage() const;             // page of the caret, from 1
    int CaretLine() const;               // line of the caret on its page, from 1
    int CaretColumn() const;             // character column of the caret, from 1
    bool OverwriteMode() const;          // Insert toggles it

    // For the engine's companions, dialogs and tests: the model behind the view.
    tamapiko::engine::DocumentModel *model() const;
    QTextDocument *document() const;
    QTextCursor textCursor() const;
    void setTextCursor(const QTextCursor &cursor);

    // The one way to change the document from outside the keyboard (dialogs,
    // the ruler, drops, table and picture commands): `change` edits through
    // the cursor it is given (the caret and its selection, kept afterwards)
    // as one undo step of `kind`; OnChange, the modified flag and autosave
    // follow from it as they do from typing.
    void applyEdit(tamapiko::engine::EditKind kind, const std::function<void(QTextCursor &)> &change);

signals:
    void OnChange(QObject *sender);          // text or format changed
    void OnPosChange(QObject *sender);       // caret or selection moved
    void OnParagraphChange(QObject *sender); // caret entered another paragraph

    // For the companions: the zoom, scroll position, page or view mode changed.
    void viewGeometryChanged();
    // The input mode (insert or overwrite) changed.
    void overwriteModeChanged(bool overwrite);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool event(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend class TTextEnginePrivate;
    std::unique_ptr<TTextEnginePrivate> d;
};
