#include "engine/TTextEngine.h"

#include "engine/DocumentModel.h"

#include <QTextCursor>
#include <QTextDocument>

// Placeholder implementation: every member answers with its default until
// the editing view lands.

class TTextEnginePrivate
{
public:
    tamapiko::engine::DocumentModel model;
    QTextCursor cursor{model.document()};
};

TTextEngine::TTextEngine(QWidget *parent)
    : QAbstractScrollArea(parent)
    , d(std::make_unique<TTextEnginePrivate>())
{
}

TTextEngine::~TTextEngine() = default;

QString TTextEngine::FontName() const
{
    return QString();
}

void TTextEngine::setFontName(const QString &name)
{
    Q_UNUSED(name);
}

int TTextEngine::FontSize() const
{
    return 0;
}

void TTextEngine::setFontSize(int points)
{
    Q_UNUSED(points);
}

int TTextEngine::FontBold() const
{
    return 0;
}

void TTextEngine::setFontBold(int on)
{
    Q_UNUSED(on);
}

int TTextEngine::FontItalic() const
{
    return 0;
}

void TTextEngine::setFontItalic(int on)
{
    Q_UNUSED(on);
}

int TTextEngine::FontUnderline() const
{
    return 0;
}

void TTextEngine::setFontUnderline(int on)
{
    Q_UNUSED(on);
}

int TTextEngine::ForeColor() const
{
    return 0;
}

void TTextEngine::setForeColor(int rgb)
{
    Q_UNUSED(rgb);
}

int TTextEngine::TextBkColor() const
{
    return 0;
}

void TTextEngine::setTextBkColor(int rgb)
{
    Q_UNUSED(rgb);
}

bool TTextEngine::FormatSelection() const
{
    return false;
}

void TTextEngine::setFormatSelection(bool on)
{
    Q_UNUSED(on);
}

int TTextEngine::Alignment() const
{
    return 0;
}

void TTextEngine::setAlignment(int alignment)
{
    Q_UNUSED(alignment);
}

int TTextEngine::FrameStyle() const
{
    return 0;
}

void TTextEngine::setFrameStyle(int style)
{
    Q_UNUSED(style);
}

int TTextEngine::FrameLineWidth() const
{
    return 0;
}

void TTextEngine::setFrameLineWidth(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::FrameDistance() const
{
    return 0;
}

void TTextEngine::setFrameDistance(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::PageWidth() const
{
    return 0;
}

void TTextEngine::setPageWidth(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::PageHeight() const
{
    return 0;
}

void TTextEngine::setPageHeight(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::PageMarginL() const
{
    return 0;
}

void TTextEngine::setPageMarginL(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::PageMarginT() const
{
    return 0;
}

void TTextEngine::setPageMarginT(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::PageMarginR() const
{
    return 0;
}

void TTextEngine::setPageMarginR(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::PageMarginB() const
{
    return 0;
}

void TTextEngine::setPageMarginB(int twips)
{
    Q_UNUSED(twips);
}

int TTextEngine::CurrentPages() const
{
    return 0;
}

int TTextEngine::ViewMode() const
{
    return 0;
}

void TTextEngine::setViewMode(int mode)
{
    Q_UNUSED(mode);
}

int TTextEngine::ZoomFactor() const
{
    return 0;
}

void TTextEngine::setZoomFactor(int percent)
{
    Q_UNUSED(percent);
}

bool TTextEngine::ControlChars() const
{
    return false;
}

void TTextEngine::setControlChars(bool show)
{
    Q_UNUSED(show);
}

int TTextEngine::ScrollBars() const
{
    return 0;
}

void TTextEngine::setScrollBars(int which)
{
    Q_UNUSED(which);
}

int TTextEngine::ScrollPosY() const
{
    return 0;
}

int TTextEngine::MousePointer() const
{
    return 0;
}

void TTextEngine::setMousePointer(int pointer)
{
    Q_UNUSED(pointer);
}

int TTextEngine::Language() const
{
    return 0;
}

int TTextEngine::SelStart() const
{
    return 0;
}

void TTextEngine::setSelStart(int position)
{
    Q_UNUSED(position);
}

int TTextEngine::SelLength() const
{
    return 0;
}

void TTextEngine::setSelLength(int length)
{
    Q_UNUSED(length);
}

int TTextEngine::CanUndo() const
{
    return 0;
}

int TTextEngine::CanRedo() const
{
    return 0;
}

bool TTextEngine::TableGridLines() const
{
    return false;
}

void TTextEngine::setTableGridLines(bool show)
{
    Q_UNUSED(show);
}

bool TTextEngine::TableCanChangeAttr() const
{
    return false;
}

QPainter * TTextEngine::PrintDevice() const
{
    return nullptr;
}

void TTextEngine::setPrintDevice(QPainter *painter)
{
    Q_UNUSED(painter);
}

int TTextEngine::PrintZoom() const
{
    return 0;
}

void TTextEngine::setPrintZoom(int percent)
{
    Q_UNUSED(percent);
}

TEngineButtonBar * TTextEngine::ButtonBarHandle() const
{
    return nullptr;
}

void TTextEngine::setButtonBarHandle(TEngineButtonBar *bar)
{
    Q_UNUSED(bar);
}

TEngineRuler * TTextEngine::RulerHandle() const
{
    return nullptr;
}

void TTextEngine::setRulerHandle(TEngineRuler *ruler)
{
    Q_UNUSED(ruler);
}

TEngineStatusBar * TTextEngine::StatusBarHandle() const
{
    return nullptr;
}

void TTextEngine::setStatusBarHandle(TEngineStatusBar *bar)
{
    Q_UNUSED(bar);
}

bool TTextEngine::PrintPage(int page)
{
    Q_UNUSED(page);
    return false;
}

bool TTextEngine::ParagraphDialog()
{
    return false;
}

bool TTextEngine::FontDialog()
{
    return false;
}

bool TTextEngine::TableAttrDialog()
{
    return false;
}

bool TTextEngine::TableDeleteLines()
{
    return false;
}

bool TTextEngine::Undo()
{
    return false;
}

bool TTextEngine::Redo()
{
    return false;
}

bool TTextEngine::FindReplaceDialog(int mode)
{
    Q_UNUSED(mode);
    return false;
}

bool TTextEngine::ClipboardAction(int action)
{
    Q_UNUSED(action);
    return false;
}

bool TTextEngine::InsertRtfFile(const QString &fileName, int option)
{
    Q_UNUSED(fileName);
    Q_UNUSED(option);
    return false;
}

bool TTextEngine::InsertTextFile(const QString &fileName)
{
    Q_UNUSED(fileName);
    return false;
}

int TTextEngine::LoadDocument(const QString &fileName, int offset, int format, int flag)
{
    Q_UNUSED(fileName);
    Q_UNUSED(offset);
    Q_UNUSED(format);
    Q_UNUSED(flag);
    return 0;
}

int TTextEngine::SaveDocument(const QString &fileName, int offset, int format, int flag)
{
    Q_UNUSED(fileName);
    Q_UNUSED(offset);
    Q_UNUSED(format);
    Q_UNUSED(flag);
    return 0;
}

int TTextEngine::TableInsert(int rows, int columns, int position, int option)
{
    Q_UNUSED(rows);
    Q_UNUSED(columns);
    Q_UNUSED(position);
    Q_UNUSED(option);
    return 0;
}

void TTextEngine::SaveAttribute(int index, int value)
{
    Q_UNUSED(index);
    Q_UNUSED(value);
}

QString TTextEngine::errorString() const
{
    return QString();
}

tamapiko::engine::DocumentModel * TTextEngine::model() const
{
    return const_cast<tamapiko::engine::DocumentModel *>(&d->model);
}

QTextDocument * TTextEngine::document() const
{
    return d->model.document();
}

QTextCursor TTextEngine::textCursor() const
{
    return d->cursor;
}

void TTextEngine::setTextCursor(const QTextCursor &cursor)
{
    d->cursor = cursor;
}

void TTextEngine::paintEvent(QPaintEvent *event)
{
    QAbstractScrollArea::paintEvent(event);
}

void TTextEngine::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
}

void TTextEngine::keyPressEvent(QKeyEvent *event)
{
    QAbstractScrollArea::keyPressEvent(event);
}

void TTextEngine::mousePressEvent(QMouseEvent *event)
{
    QAbstractScrollArea::mousePressEvent(event);
}

void TTextEngine::mouseMoveEvent(QMouseEvent *event)
{
    QAbstractScrollArea::mouseMoveEvent(event);
}

void TTextEngine::mouseReleaseEvent(QMouseEvent *event)
{
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TTextEngine::mouseDoubleClickEvent(QMouseEvent *event)
{
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void TTextEngine::wheelEvent(QWheelEvent *event)
{
    QAbstractScrollArea::wheelEvent(event);
}

void TTextEngine::inputMethodEvent(QInputMethodEvent *event)
{
    QAbstractScrollArea::inputMethodEvent(event);
}

void TTextEngine::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
}

void TTextEngine::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
}

void TTextEngine::scrollContentsBy(int dx, int dy)
{
    QAbstractScrollArea::scrollContentsBy(dx, dy);
}

QVariant TTextEngine::inputMethodQuery(Qt::InputMethodQuery query) const
{
    return QAbstractScrollArea::inputMethodQuery(query);
}

bool TTextEngine::event(QEvent *event)
{
    return QAbstractScrollArea::event(event);
}

double TTextEngine::pixelsPerTwip() const
{
    return 1.0 / 15.0;
}

int TTextEngine::pageOriginX() const
{
    return 0;
}

int TTextEngine::CurrentPage() const
{
    return 1;
}

int TTextEngine::CaretLine() const
{
    return 1;
}

int TTextEngine::CaretColumn() const
{
    return 1;
}

bool TTextEngine::OverwriteMode() const
{
    return false;
}
