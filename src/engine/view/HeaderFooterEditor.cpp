#include "engine/view/HeaderFooterEditor.h"

#include <QKeyEvent>
#include <QTextDocument>

#include <cmath>

namespace tamapiko::engine {

HeaderFooterEditor::HeaderFooterEditor(QWidget *parent)
    : QTextEdit(parent)
    , m_placeholder(new QTextDocument(this))
{
    setObjectName(QStringLiteral("headerFooterEditor"));
    setDocument(m_placeholder);
    setFrameShape(QFrame::Box);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, QColor(255, 255, 240));
    setPalette(colours);
    hide();
}

void HeaderFooterEditor::open(QTextDocument *story, HeaderFooterKind kind, int page)
{
    m_story = story;
    m_kind = kind;
    m_page = page;
    setDocument(story);
    moveCursor(QTextCursor::End);
    show();
    raise();
    setFocus(Qt::MouseFocusReason);
}

void HeaderFooterEditor::place(const QRectF &band)
{
    const int frame = frameWidth();
    const int width = std::max(1, int(std::lround(band.width())));
    setLineWrapColumnOrWidth(width);
    const int contentHeight = int(std::ceil(document()->size().height()));
    const int height = std::max(int(std::lround(band.height())), contentHeight);
    // A footer grows upwards from the band's bottom, as it is drawn.
    const qreal top = m_kind == HeaderFooterKind::Footer ? band.bottom() - height : band.top();
    setGeometry(int(std::lround(band.left())) - frame, int(std::lround(top)) - frame,
                width + 2 * frame, height + 2 * frame);
}

void HeaderFooterEditor::close()
{
    m_story = nullptr;
    setDocument(m_placeholder);
    hide();
}

void HeaderFooterEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        emit returnRequested();
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

} // namespace tamapiko::engine
