#pragma once

// TableDialog: the engine's table attributes dialog.
//
// Two pages. "表": width of the table (percent of the text width), its
// alignment and indent, the border and the cell padding, the width of the
// column holding the caret and the height of its rows. "セル": for the
// selected cells, the line on each side (as the table's, none, single or
// double, with a width), shading, the vertical alignment of the text, and
// merging or splitting. On OK the engine applies only what the user changed,
// as one undo step.

#include <QDialog>
#include <QTextTableCellFormat>
#include <QTextTableFormat>

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;
class QTabWidget;

namespace tamapiko::engine {

class TableDialog : public QDialog
{
    Q_OBJECT

public:
    // What the dialog starts from.
    struct Current
    {
        QTextTableFormat table;
        int column = 0;                   // the column whose width is offered
        double textWidthPoints = 0;       // turns percentages into lengths
        QTextTableCellFormat cell;        // the first selected cell
        int rowHeightTwips = 0;           // least height of the caret's row, 0 automatic
        bool canMerge = false;            // several cells are selected
        bool canSplit = false;            // the caret's cell spans others
    };

    // The sides in the order the cell page lists them.
    enum Side { Top, Bottom, Left, Right };
    // A side's line as the cell page offers it.
    enum Line { AsTable, NoLine, Single, Double };

    explicit TableDialog(const Current &current, QWidget *parent = nullptr);

    // The table format with the user's changes applied.
    QTextTableFormat result() const;
    // The cell properties the user changed, to merge into every selected cell.
    QTextTableCellFormat cellChanges() const;
    // Cell properties to remove (sides set back to the table's line).
    QList<int> cellPropertiesToClear() const;
    // The rows' new least height in twips (0 automatic), if changed.
    std::optional<int> rowHeightChange() const;
    bool mergeRequested() const;
    bool splitRequested() const;

    // The fields, for tests and for accessibility tools.
    QTabWidget *pages() const { return m_pages; }
    QSpinBox *widthBox() const { return m_width; }
    QComboBox *alignmentBox() const { return m_alignment; }
    QDoubleSpinBox *indentBox() const { return m_indent; }
    QDoubleSpinBox *borderBox() const { return m_border; }
    QDoubleSpinBox *paddingBox() const { return m_padding; }
    QDoubleSpinBox *columnWidthBox() const { return m_columnWidth; }
    QDoubleSpinBox *rowHeightBox() const { return m_rowHeight; }
    QComboBox *sideBox(Side side) const { return m_sides[side]; }
    QDoubleSpinBox *cellLineWidthBox() const { return m_cellLineWidth; }
    QComboBox *shadingBox() const { return m_shading; }
    QComboBox *verticalAlignmentBox() const { return m_vertical; }
    QCheckBox *mergeBox() const { return m_merge; }
    QCheckBox *splitBox() const { return m_split; }

    // Shading entries: percent of black over white.
    static const QList<int> &shadingPercents();

private:
    QWidget *buildTablePage();
    QWidget *buildCellPage();
    void showCurrent();

    Current m_current;
    QTabWidget *m_pages;
    QSpinBox *m_width = nullptr;
    QComboBox *m_alignment = nullptr;
    QDoubleSpinBox *m_indent = nullptr;
    QDoubleSpinBox *m_border = nullptr;
    QDoubleSpinBox *m_padding = nullptr;
    QDoubleSpinBox *m_columnWidth = nullptr;
    QDoubleSpinBox *m_rowHeight = nullptr;
    std::array<QComboBox *, 4> m_sides = {};
    QDoubleSpinBox *m_cellLineWidth = nullptr;
    QComboBox *m_shading = nullptr;
    QComboBox *m_vertical = nullptr;
    QCheckBox *m_merge = nullptr;
    QCheckBox *m_split = nullptr;

    // Values as first shown, to tell what the user changed.
    double m_initialColumnWidth = 0;
    double m_initialRowHeight = 0;
    std::array<int, 4> m_initialSides = {};
    double m_initialCellLineWidth = 0;
    int m_initialShading = 0;
    int m_initialVertical = 0;
};

} // namespace tamapiko::engine
