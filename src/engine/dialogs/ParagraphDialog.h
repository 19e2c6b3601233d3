#pragma once

// ParagraphDialog: the engine's paragraph dialog.
//
// Alignment, left, right and first-line indents, space before and after, and
// line spacing of the paragraphs the selection touches. The first line is
// chosen by name ("(なし)", "字下げ", "ぶら下げ") with its width; "左" is
// where the paragraph's leftmost line starts, so a hanging indent keeps the
// first line there and moves the others in. Indents and spacing are in the
// document's unit (millimetres or inches); line heights in points. Each field starts
// from the first of those paragraphs; on OK only the fields the user changed
// are applied, to every one of them, as one undo step, so paragraphs that
// differed keep their differences in everything else.

#include <QDialog>
#include <QTextBlockFormat>

class QComboBox;
class QDoubleSpinBox;

namespace tamapiko::engine {

class ParagraphDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Unit { Millimetre, Inch };
    // The first line's kinds, in the order of its box.
    enum FirstLine { NoFirstLine, FirstLineIndent, HangingIndent };

    explicit ParagraphDialog(const QTextBlockFormat &current, Unit unit = Unit::Millimetre, QWidget *parent = nullptr);

    // The properties the user changed, and no others (lengths in points).
    QTextBlockFormat changes() const;

    // The fields, for tests and for accessibility tools.
    QComboBox *alignmentBox() const { return m_alignment; }
    QDoubleSpinBox *leftIndentBox() const { return m_left; }
    QDoubleSpinBox *rightIndentBox() const { return m_right; }
    QComboBox *firstLineKindBox() const { return m_firstLineKind; }
    QDoubleSpinBox *firstLineBox() const { return m_firstLine; }
    QDoubleSpinBox *spaceBeforeBox() const { return m_before; }
    QDoubleSpinBox *spaceAfterBox() const { return m_after; }
    QComboBox *lineSpacingBox() const { return m_spacing; }
    QDoubleSpinBox *lineSpacingValueBox() const { return m_spacingValue; }

private:
    void updateSpacingValue();
    void updateFirstLine();
    double toPoints(double shown) const;
    double fromPoints(double points) const;

    QTextBlockFormat m_initial;
    double m_pointsPerUnit;
    QComboBox *m_alignment;
    QDoubleSpinBox *m_left;
    QDoubleSpinBox *m_right;
    QComboBox *m_firstLineKind;
    QDoubleSpinBox *m_firstLine;
    QDoubleSpinBox *m_before;
    QDoubleSpinBox *m_after;
    QComboBox *m_spacing;
    QDoubleSpinBox *m_spacingValue;
    // Initial values as shown, to tell what the user changed.
    int m_initialAlignment = 0;
    double m_initialLeft = 0;
    double m_initialRight = 0;
    int m_initialFirstLineKind = 0;
    double m_initialFirstLine = 0;
    double m_initialBefore = 0;
    double m_initialAfter = 0;
    int m_initialSpacing = 0;
    double m_initialSpacingValue = 0;
};

} // namespace tamapiko::engine
