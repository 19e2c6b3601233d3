#pragma once

// TableDialog: the engine's table attributes dialog.
//
// Width of the table (percent of the text width), its alignment, the border
// and the cell padding, and the width of the column holding the caret. On OK
// the changed values are applied to the table as one undo step.

#include <QDialog>
#include <QTextTableFormat>

class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace tamapiko::engine {

class TableDialog : public QDialog
{
    Q_OBJECT

public:
    // `column` is the column whose width the dialog offers; `textWidthPoints`
    // turns percentages into lengths.
    TableDialog(const QTextTableFormat &current, int column, double textWidthPoints, QWidget *parent = nullptr);

    // The table format with the user's changes applied.
    QTextTableFormat result() const;

    QSpinBox *widthBox() const { return m_width; }
    QComboBox *alignmentBox() const { return m_alignment; }
    QDoubleSpinBox *borderBox() const { return m_border; }
    QDoubleSpinBox *paddingBox() const { return m_padding; }
    QDoubleSpinBox *columnWidthBox() const { return m_columnWidth; }

private:
    QTextTableFormat m_current;
    int m_column;
    double m_textWidth;
    QSpinBox *m_width;
    QComboBox *m_alignment;
    QDoubleSpinBox *m_border;
    QDoubleSpinBox *m_padding;
    QDoubleSpinBox *m_columnWidth;
    double m_initialColumnWidth = 0;
};

} // namespace tamapiko::engine
