#pragma once

// TEngineRuler: the horizontal ruler over one text engine.
//
// It shows the page's width with its margins, measured in centimetres
// (inches where the engine's Language is neither 49 nor 81) from the text
// area's left edge, and the caret paragraph's first-line, left and right
// indents and tab stops. It follows the engine's zoom and horizontal scroll.
//
// Dragging a marker sets that indent for every paragraph the selection
// touches, as one undo step; the hanging-indent triangle moves the left
// indent and leaves the first line where it is, the box under it moves
// both. Clicking in the text area adds a tab stop of the kind chosen on the
// engine's button bar; dragging a tab stop moves it, dragging it off the
// ruler removes it.
//
// Indents and tab positions live in the paragraphs' QTextBlockFormat in
// points; tab positions count from the text area's left edge.
//
// The ruler finds its engine itself once it is shown: the engine in its
// window whose RulerHandle is this ruler. setEngine() ties one directly.

#include <QPointer>
#include <QTextOption>
#include <QWidget>

#include <functional>

class QTextBlockFormat;
class TTextEngine;

class TEngineRuler : public QWidget
{
    Q_OBJECT

public:
    enum class Unit { Centimetre, Inch };
    enum class Marker { None, FirstLineIndent, HangingIndent, LeftIndent, RightIndent, TabStop, NewTabStop };

    explicit TEngineRuler(QWidget *parent = nullptr);
    ~TEngineRuler() override;

    TTextEngine *engine() const { return m_engine; }
    void setEngine(TTextEngine *engine);

    static Unit unitForLanguage(int language);
    Unit unit() const;

    // Ruler x of a distance in twips from the text area's left edge, and back.
    double xForTwips(double twips) const;
    double twipsForX(double x) const;

    // Where a marker of the caret paragraph is drawn (tabIndex for tab stops).
    QRect markerRect(Marker marker, int tabIndex = 0) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
public:
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
protected:

private:
    // The caret paragraph's indents, in twips from the text area's edges.
    struct Indents
    {
        double left = 0;
        double firstLine = 0;     // absolute: left + text indent
        double right = 0;
        QList<QTextOption::Tab> tabs; // positions in twips
    };

    struct Drag
    {
        Marker marker = Marker::None;
        int tabIndex = -1;
        QTextOption::Tab tab;     // the tab stop being dragged or added
        double twips = 0;         // where the marker is now
        bool offRuler = false;    // a tab stop dragged away: it goes
        bool moved = false;
        QPoint pressPosition;
    };

    void adoptTiedEngine();
    Indents caretIndents() const;
    Indents shownIndents() const;
    Marker markerAt(QPoint position, int *tabIndex) const;
    double snappedTwips(double x, bool snap) const;
    int textWidthTwips() const;
    QRect band() const;
    double engineOffset() const;
    QTextOption::TabType chosenTabType() const;

    void drawScale(QPainter &painter, const QRect &band) const;
    void drawMarkers(QPainter &painter, const QRect &band, const Indents &indents) const;

    void finishDrag();
    void cancelDrag();
    // Changes every paragraph the engine's selection touches in one edit.
    void changeSelectedParagraphs(const std::function<void(QTextBlockFormat &)> &change);

    QPointer<TTextEngine> m_engine;
    QList<QMetaObject::Connection> m_connections;
    Drag m_drag;
};
