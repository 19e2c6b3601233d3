#include "engine/TEngineRuler.h"

#include "engine/DocumentModel.h"
#include "engine/TEngineButtonBar.h"
#include "engine/TTextEngine.h"
#include "engine/TabStopGlyph.h"
#include "engine/Units.h"
#include "engine/editing/EditCommands.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

using tamapiko::engine::DocumentModel;
using tamapiko::engine::TwipsPerPoint;

namespace {

constexpr double TwipsPerInch = 1440;
constexpr double TwipsPerCentimetre = TwipsPerInch / 2.54;

// The narrowest line a paragraph keeps between its indents.
constexpr double MinimumLineTwips = 360;

constexpr int MarkerHalfWidth = 4;
// How far above or below the ruler a dragged tab stop must go to be removed.
constexpr int TearOffDistance = 12;
// Tab stops closer than this are the same stop.
constexpr double SameTabTolerance = 1.0;

bool isGerman(int language)
{
    return language == 49;
}

bool isJapanese(int language)
{
    return language == 81;
}

QList<QTextOption::Tab> tabsInTwips(const QTextBlockFormat &format)
{
    QList<QTextOption::Tab> tabs = format.tabPositions();
    for (QTextOption::Tab &tab : tabs)
        tab.position *= TwipsPerPoint;
    return tabs;
}

void setTabsInTwips(QTextBlockFormat &format, QList<QTextOption::Tab> tabs)
{
    std::sort(tabs.begin(), tabs.end(),
              [](const QTextOption::Tab &a, const QTextOption::Tab &b) { return a.position < b.position; });
    for (QTextOption::Tab &tab : tabs)
        tab.position /= TwipsPerPoint;
    format.setTabPositions(tabs);
}

void removeTabAt(QList<QTextOption::Tab> &tabs, double twips)
{
    tabs.removeIf([twips](const QTextOption::Tab &tab) {
        return std::abs(tab.position - twips) < SameTabTolerance;
    });
}

QPolygonF triangle(QPointF apex, double baseY)
{
    const double half = MarkerHalfWidth;
    return QPolygonF({ apex, QPointF(apex.x() - half, baseY), QPointF(apex.x() + half, baseY) });
}

} // namespace

TEngineRuler::TEngineRuler(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

TEngineRuler::~TEngineRuler() = default;

void TEngineRuler::setEngine(TTextEngine *engine)
{
    for (const QMetaObject::Connection &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    cancelDrag();
    m_engine = engine;
    // What the input method composes while the ruler has the focus is
    // handed on to the engine (see inputMethodEvent).
    setAttribute(Qt::WA_InputMethodEnabled, engine != nullptr);
    if (engine) {
        const auto refresh = [this] { update(); };
        m_connections << connect(engine, &TTextEngine::OnPosChange, this, refresh)
                      << connect(engine, &TTextEngine::OnParagraphChange, this, refresh)
                      << connect(engine, &TTextEngine::OnChange, this, refresh)
                      << connect(engine, &TTextEngine::viewGeometryChanged, this, refresh)
                      << connect(engine->document(), &QTextDocument::contentsChanged, this, refresh)
                      << connect(engine->model(), &DocumentModel::pageSetupChanged, this, refresh);
    }
    update();
}

TEngineRuler::Unit TEngineRuler::unitForLanguage(int language)
{
    return isGerman(language) || isJapanese(language) ? Unit::Centimetre : Unit::Inch;
}

TEngineRuler::Unit TEngineRuler::unit() const
{
    return m_engine ? unitForLanguage(m_engine->Language()) : Unit::Centimetre;
}

double TEngineRuler::engineOffset() const
{
    // The ruler stands over the engine but need not start where it starts.
    // The engine gives pageOriginX() in its own widget's coordinates (its
    // frame and any scroll bar on the left included).
    return m_engine->mapToGlobal(QPoint(0, 0)).x() - mapToGlobal(QPoint(0, 0)).x();
}

double TEngineRuler::xForTwips(double twips) const
{
    if (!m_engine)
        return 0;
    const double marginLeft = m_engine->model()->pageSetup().marginLeft;
    return engineOffset() + m_engine->pageOriginX() + (marginLeft + twips) * m_engine->pixelsPerTwip();
}

double TEngineRuler::twipsForX(double x) const
{
    if (!m_engine || m_engine->pixelsPerTwip() <= 0)
        return 0;
    const double marginLeft = m_engine->model()->pageSetup().marginLeft;
    return (x - engineOffset() - m_engine->pageOriginX()) / m_engine->pixelsPerTwip() - marginLeft;
}

int TEngineRuler::textWidthTwips() const
{
    return m_engine ? std::max(0, m_engine->model()->pageSetup().textWidth()) : 0;
}

QRect TEngineRuler::band() const
{
    const int top = MarkerHalfWidth;
    const int bottom = height() - MarkerHalfWidth - 3;
    return QRect(0, top, width(), std::max(1, bottom - top));
}

QSize TEngineRuler::sizeHint() const
{
    return QSize(400, std::max(24, fontMetrics().height() + 2 * MarkerHalfWidth + 6));
}

QSize TEngineRuler::minimumSizeHint() const
{
    return QSize(40, sizeHint().height());
}

TEngineRuler::Indents TEngineRuler::caretIndents() const
{
    Indents indents;
    if (!m_engine)
        return indents;
    const QTextBlockFormat format = m_engine->textCursor().blockFormat();
    indents.left = format.leftMargin() * TwipsPerPoint;
    indents.firstLine = indents.left + format.textIndent() * TwipsPerPoint;
    indents.right = format.rightMargin() * TwipsPerPoint;
    indents.tabs = tabsInTwips(format);
    return indents;
}

// The caret paragraph's indents as they will be if the drag ends here.
TEngineRuler::Indents TEngineRuler::shownIndents() const
{
    Indents indents = caretIndents();
    switch (m_drag.marker) {
    case Marker::FirstLineIndent:
        indents.firstLine = m_drag.twips;
        break;
    case Marker::HangingIndent:
        indents.left = m_drag.twips;
        break;
    case Marker::LeftIndent:
        indents.firstLine += m_drag.twips - indents.left;
        indents.left = m_drag.twips;
        break;
    case Marker::RightIndent:
        indents.right = textWidthTwips() - m_drag.twips;
        break;
    case Marker::TabStop:
        if (m_drag.tabIndex >= 0 && m_drag.tabIndex < indents.tabs.size())
            indents.tabs.removeAt(m_drag.tabIndex);
        Q_FALLTHROUGH();
    case Marker::NewTabStop:
        if (!m_drag.offRuler) {
            QTextOption::Tab tab = m_drag.tab;
            tab.position = m_drag.twips;
            indents.tabs.append(tab);
        }
        break;
    case Marker::None:
        break;
    }
    return indents;
}

QRect TEngineRuler::markerRect(Marker marker, int tabIndex) const
{
    const Indents indents = shownIndents();
    const QRect b = band();
    const int w = 2 * MarkerHalfWidth + 1;
    const auto at = [this](double twips) { return int(std::lround(xForTwips(twips))) - MarkerHalfWidth; };
    switch (marker) {
    case Marker::FirstLineIndent:
        return QRect(at(indents.firstLine), b.top() - 2, w, MarkerHalfWidth + 3);
    case Marker::HangingIndent:
        return QRect(at(indents.left), b.bottom() - MarkerHalfWidth - 1, w, MarkerHalfWidth + 2);
    case Marker::LeftIndent:
        return QRect(at(indents.left), b.bottom() + 1, w, MarkerHalfWidth + 1);
    case Marker::RightIndent:
        return QRect(at(textWidthTwips() - indents.right), b.bottom() - MarkerHalfWidth - 1, w,
                     MarkerHalfWidth + 2);
    case Marker::TabStop:
    case Marker::NewTabStop:
        if (tabIndex < 0 || tabIndex >= indents.tabs.size())
            return QRect();
        return QRect(at(indents.tabs.at(tabIndex).position), b.bottom() - 2 * MarkerHalfWidth - 2, w,
                     MarkerHalfWidth + 2);
    case Marker::None:
        break;
    }
    return QRect();
}

TEngineRuler::Marker TEngineRuler::markerAt(QPoint position, int *tabIndex) const
{
    const auto hit = [&](Marker marker, int index = 0) {
        return markerRect(marker, index).adjusted(-1, -1, 1, 1).contains(position);
    };
    for (Marker marker : { Marker::FirstLineIndent, Marker::LeftIndent, Marker::HangingIndent, Marker::RightIndent }) {
        if (hit(marker))
            return marker;
    }
    const qsizetype tabs = caretIndents().tabs.size();
    for (int i = 0; i < tabs; ++i) {
        if (hit(Marker::TabStop, i)) {
            *tabIndex = i;
            return Marker::TabStop;
        }
    }
    return Marker::None;
}

double TEngineRuler::snappedTwips(double x, bool snap) const
{
    const double twips = twipsForX(x);
    if (!snap)
        return twips;
    // Millimetres on a metric ruler, sixteenths of an inch otherwise.
    const double grid = unit() == Unit::Centimetre ? TwipsPerCentimetre / 10 : TwipsPerInch / 16;
    return std::round(twips / grid) * grid;
}

QTextOption::TabType TEngineRuler::chosenTabType() const
{
    const TEngineButtonBar *bar = m_engine ? m_engine->ButtonBarHandle() : nullptr;
    return bar ? bar->tabType() : QTextOption::LeftTab;
}

void TEngineRuler::adoptTiedEngine()
{
    if (m_engine)
        return;
    for (TTextEngine *engine : window()->findChildren<TTextEngine *>()) {
        if (engine->RulerHandle() == this) {
            setEngine(engine);
            return;
        }
    }
}

void TEngineRuler::showEvent(QShowEvent *event)
{
    adoptTiedEngine();
    QWidget::showEvent(event);
}

void TEngineRuler::paintEvent(QPaintEvent *)
{
    // The engine may have been tied to the ruler after it was shown.
    adoptTiedEngine();
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!m_engine)
        return;
    const QRect b = band();
    drawScale(painter, b);
    drawMarkers(painter, b, shownIndents());
}

void TEngineRuler::drawScale(QPainter &painter, const QRect &b) const
{
    const tamapiko::engine::PageSetup &page = m_engine->model()->pageSetup();
    const double width = textWidthTwips();
    const double pageLeft = xForTwips(-page.marginLeft);
    const double textLeft = xForTwips(0);
    const double textRight = xForTwips(width);
    const double pageRight = xForTwips(width + page.marginRight);

    const QColor margin = palette().color(QPalette::Mid).lighter(130);
    painter.fillRect(QRectF(pageLeft, b.top(), textLeft - pageLeft, b.height()), margin);
    painter.fillRect(QRectF(textRight, b.top(), pageRight - textRight, b.height()), margin);
    painter.fillRect(QRectF(textLeft, b.top(), textRight - textLeft, b.height()), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(QRectF(pageLeft, b.top(), pageRight - pageLeft, b.height()));

    const bool metric = unit() == Unit::Centimetre;
    const double unitTwips = metric ? TwipsPerCentimetre : TwipsPerInch;
    const int subdivisions = metric ? 4 : 8;
    const double pixelsPerUnit = unitTwips * m_engine->pixelsPerTwip();
    if (pixelsPerUnit <= 0)
        return;

    QFont small = font();
    small.setPointSizeF(std::max(5.0, small.pointSizeF() * 0.8));
    painter.setFont(small);
    const QFontMetrics metrics(small);
    // Label every unit, or every 2, 5, 10 units when they would crowd.
    int labelEvery = 1;
    for (int step : { 1, 2, 5, 10, 20 }) {
        labelEvery = step;
        if (pixelsPerUnit * step >= metrics.horizontalAdvance(QStringLiteral("88")) + 6)
            break;
    }
    const double tickPixels = pixelsPerUnit / subdivisions;
    const int tickEvery = tickPixels >= 4 ? 1 : tickPixels * 2 >= 4 ? 2 : subdivisions;

    const double tickTwips = unitTwips / subdivisions;
    const int first = int(std::ceil(-page.marginLeft / tickTwips));
    const int last = int(std::floor((width + page.marginRight) / tickTwips));
    const double middle = b.top() + b.height() / 2.0;
    painter.setPen(palette().color(QPalette::WindowText));
    for (int k = first; k <= last; ++k) {
        const double x = xForTwips(k * tickTwips);
        if (x < -20 || x > this->width() + 20)
            continue;
        if (k % (subdivisions * labelEvery) == 0) {
            if (k == 0)
                continue; // the text area's edge is marked by the colours
            const QString label = QString::number(std::abs(k) / subdivisions);
            const QRectF box(x - 20, b.top(), 40, b.height());
            painter.drawText(box, Qt::AlignCenter, label);
        } else if (k % subdivisions == 0 || k % tickEvery == 0) {
            const double half = k % (subdivisions / 2) == 0 ? 3 : 1.5;
            painter.drawLine(QPointF(x, middle - half), QPointF(x, middle + half));
        }
    }
}

void TEngineRuler::drawMarkers(QPainter &painter, const QRect &b, const Indents &indents) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(palette().color(QPalette::Button));

    const double first = xForTwips(indents.firstLine);
    painter.drawPolygon(triangle(QPointF(first, b.top() + MarkerHalfWidth + 1), b.top() - 2));
    const double left = xForTwips(indents.left);
    painter.drawPolygon(triangle(QPointF(left, b.bottom() - MarkerHalfWidth - 1), b.bottom() + 1));
    painter.drawRect(QRectF(left - MarkerHalfWidth, b.bottom() + 1, 2 * MarkerHalfWidth, MarkerHalfWidth));
    const double right = xForTwips(textWidthTwips() - indents.right);
    painter.drawPolygon(triangle(QPointF(right, b.bottom() - MarkerHalfWidth - 1), b.bottom() + 1));

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
    for (const QTextOption::Tab &tab : indents.tabs) {
        drawTabStopGlyph(painter, QPointF(xForTwips(tab.position), b.bottom() - 2), tab.type,
                         MarkerHalfWidth);
    }
}

void TEngineRuler::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_engine || m_drag.marker != Marker::None) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint position = event->position().toPoint();
    const bool snap = !(event->modifiers() & Qt::AltModifier);
    const Indents indents = caretIndents();
    Drag drag;
    drag.pressPosition = position;
    drag.marker = markerAt(position, &drag.tabIndex);
    switch (drag.marker) {
    case Marker::FirstLineIndent:
        drag.twips = indents.firstLine;
        break;
    case Marker::HangingIndent:
    case Marker::LeftIndent:
        drag.twips = indents.left;
        break;
    case Marker::RightIndent:
        drag.twips = textWidthTwips() - indents.right;
        break;
    case Marker::TabStop:
        drag.tab = indents.tabs.at(drag.tabIndex);
        drag.twips = drag.tab.position;
        break;
    case Marker::None: {
        // A click on the scale inside the text area adds a tab stop there.
        const double twips = snappedTwips(position.x(), snap);
        if (twips <= 0 || twips > textWidthTwips())
            return;
        drag.marker = Marker::NewTabStop;
        drag.tab = QTextOption::Tab(twips, chosenTabType(),
                                    chosenTabType() == QTextOption::DelimiterTab ? QChar(u'.') : QChar());
        drag.twips = twips;
        break;
    }
    case Marker::NewTabStop:
        break;
    }
    m_drag = drag;
    update();
}

void TEngineRuler::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    if (m_drag.marker == Marker::None) {
        int tabIndex = -1;
        setCursor(m_engine && markerAt(position, &tabIndex) != Marker::None ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    const Indents indents = caretIndents();
    const double width = textWidthTwips();
    double twips = snappedTwips(position.x(), !(event->modifiers() & Qt::AltModifier));
    switch (m_drag.marker) {
    case Marker::FirstLineIndent:
        twips = std::clamp(twips, 0.0, std::max(0.0, width - indents.right - MinimumLineTwips));
        break;
    case Marker::HangingIndent:
    case Marker::LeftIndent:
        twips = std::clamp(twips, 0.0, std::max(0.0, width - indents.right - MinimumLineTwips));
        break;
    case Marker::RightIndent:
        twips = std::clamp(twips, std::min(width, std::max(indents.left, indents.firstLine) + MinimumLineTwips), width);
        break;
    case Marker::TabStop:
    case Marker::NewTabStop:
        twips = std::clamp(twips, 0.0, width);
        m_drag.offRuler = position.y() < -TearOffDistance || position.y() > height() + TearOffDistance;
        break;
    case Marker::None:
        break;
    }
    if (position != m_drag.pressPosition)
        m_drag.moved = true;
    m_drag.twips = twips;
    update();
}

void TEngineRuler::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_drag.marker == Marker::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    finishDrag();
}

void TEngineRuler::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_drag.marker != Marker::None) {
        cancelDrag();
        return;
    }
    // The ruler may hold the focus (the program gives it the focus after a
    // toolbar choice), but typing belongs to the page: hand the key on and
    // let the engine keep the focus for what follows.
    adoptTiedEngine();
    if (m_engine && m_engine->isEnabled()) {
        m_engine->setFocus(Qt::OtherFocusReason);
        QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                       event->nativeVirtualKey(), event->nativeModifiers(), event->text(), event->isAutoRepeat(),
                       event->count());
        QCoreApplication::sendEvent(m_engine, &copy);
        event->setAccepted(copy.isAccepted());
        return;
    }
    QWidget::keyPressEvent(event);
}

void TEngineRuler::inputMethodEvent(QInputMethodEvent *event)
{
    // Text composed by the input method while the ruler holds the focus
    // goes to the page like typed keys.
    if (!m_engine) {
        QWidget::inputMethodEvent(event);
        return;
    }
    QCoreApplication::sendEvent(m_engine, event);
    if (event->preeditString().isEmpty())
        m_engine->setFocus(Qt::OtherFocusReason);
}

QVariant TEngineRuler::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (!m_engine)
        return QWidget::inputMethodQuery(query);
    // The engine answers, in the ruler's coordinates, so that the input
    // method's window stands at the caret on the page.
    const QWidget *engine = m_engine;
    QVariant answer = engine->inputMethodQuery(query);
    if (answer.typeId() == QMetaType::QRectF)
        return answer.toRectF().translated(m_engine->mapTo(window(), QPointF()) - mapTo(window(), QPointF()));
    if (answer.typeId() == QMetaType::QRect)
        return answer.toRect().translated(m_engine->mapTo(window(), QPoint()) - mapTo(window(), QPoint()));
    return answer;
}

void TEngineRuler::cancelDrag()
{
    m_drag = Drag();
    update();
}

void TEngineRuler::finishDrag()
{
    const Drag drag = std::exchange(m_drag, Drag());
    update();
    if (!m_engine)
        return;
    const double width = textWidthTwips();
    const double t = drag.twips;
    // Each paragraph keeps at least a minimal line between its own indents.
    const auto room = [width](double otherSide) { return std::max(0.0, width - otherSide - MinimumLineTwips); };

    switch (drag.marker) {
    case Marker::FirstLineIndent:
        if (!drag.moved)
            return;
        changeSelectedParagraphs([&](QTextBlockFormat &format) {
            const double left = format.leftMargin() * TwipsPerPoint;
            const double first = std::clamp(t, 0.0, room(format.rightMargin() * TwipsPerPoint));
            format.setTextIndent((first - left) / TwipsPerPoint);
        });
        break;
    case Marker::HangingIndent:
        if (!drag.moved)
            return;
        changeSelectedParagraphs([&](QTextBlockFormat &format) {
            const double first = (format.leftMargin() + format.textIndent()) * TwipsPerPoint;
            const double left = std::clamp(t, 0.0, room(format.rightMargin() * TwipsPerPoint));
            format.setLeftMargin(left / TwipsPerPoint);
            format.setTextIndent((first - left) / TwipsPerPoint);
        });
        break;
    case Marker::LeftIndent:
        if (!drag.moved)
            return;
        changeSelectedParagraphs([&](QTextBlockFormat &format) {
            const double maximum = room(format.rightMargin() * TwipsPerPoint);
            const double left = std::clamp(t, 0.0, maximum);
            const double indent = format.textIndent() * TwipsPerPoint;
            const double first = std::clamp(left + indent, 0.0, maximum);
            format.setLeftMargin(left / TwipsPerPoint);
            format.setTextIndent((first - left) / TwipsPerPoint);
        });
        break;
    case Marker::RightIndent:
        if (!drag.moved)
            return;
        changeSelectedParagraphs([&](QTextBlockFormat &format) {
            const double furthestLeft = std::max(format.leftMargin(), format.leftMargin() + format.textIndent());
            const double right = std::clamp(width - t, 0.0, room(furthestLeft * TwipsPerPoint));
            format.setRightMargin(right / TwipsPerPoint);
        });
        break;
    case Marker::TabStop:
        if (!drag.moved && !drag.offRuler)
            return;
        changeSelectedParagraphs([&](QTextBlockFormat &format) {
            QList<QTextOption::Tab> tabs = tabsInTwips(format);
            removeTabAt(tabs, drag.tab.position);
            if (!drag.offRuler) {
                removeTabAt(tabs, t);
                QTextOption::Tab moved = drag.tab;
                moved.position = t;
                tabs.append(moved);
            }
            setTabsInTwips(format, tabs);
        });
        break;
    case Marker::NewTabStop:
        if (drag.offRuler)
            return;
        changeSelectedParagraphs([&](QTextBlockFormat &format) {
            QList<QTextOption::Tab> tabs = tabsInTwips(format);
            removeTabAt(tabs, t);
            QTextOption::Tab added = drag.tab;
            added.position = t;
            tabs.append(added);
            setTabsInTwips(format, tabs);
        });
        break;
    case Marker::None:
        break;
    }
}

void TEngineRuler::changeSelectedParagraphs(const std::function<void(QTextBlockFormat &)> &change)
{
    // Every paragraph's change in one edit: one undo step.
    m_engine->applyEdit(tamapiko::engine::EditKind::Formatting, [&change](QTextCursor &selection) {
        QTextDocument *document = selection.document();
        const QTextBlock first = document->findBlock(selection.selectionStart());
        const QTextBlock last = document->findBlock(selection.selectionEnd());
        for (QTextBlock block = first; block.isValid(); block = block.next()) {
            const QTextBlockFormat before = block.blockFormat();
            QTextBlockFormat after = before;
            change(after);
            if (after != before)
                QTextCursor(block).setBlockFormat(after);
            if (block == last)
                break;
        }
    });
}
