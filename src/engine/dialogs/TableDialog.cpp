#include "engine/dialogs/TableDialog.h"

#include "engine/dialogs/DialogButtons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tamapiko::engine {

namespace {

constexpr double PointsPerMillimetre = 72.0 / 25.4;
constexpr double TwipsPerMillimetre = 1440.0 / 25.4;

// The columns' widths in points, whatever kind of length each one has.
QList<double> columnPoints(const QTextTableFormat &format, int columns, double tableWidth)
{
    QList<double> widths;
    const QList<QTextLength> constraints = format.columnWidthConstraints();
    double fixed = 0;
    int variable = 0;
    for (int c = 0; c < columns; ++c) {
        const QTextLength length = constraints.value(c);
        double w = -1;
        if (length.type() == QTextLength::FixedLength)
            w = length.rawValue();
        else if (length.type() == QTextLength::PercentageLength)
            w = tableWidth * length.rawValue() / 100;
        if (w < 0)
            ++variable;
        else
            fixed += w;
        widths.append(w);
    }
    for (double &w : widths) {
        if (w < 0)
            w = std::max(1.0, (tableWidth - fixed) / std::max(1, variable));
    }
    return widths;
}

struct SideProperties
{
    int width;
    int style;
};

constexpr SideProperties sideProperties[4] = {
    {QTextFormat::TableCellTopBorder, QTextFormat::TableCellTopBorderStyle},
    {QTextFormat::TableCellBottomBorder, QTextFormat::TableCellBottomBorderStyle},
    {QTextFormat::TableCellLeftBorder, QTextFormat::TableCellLeftBorderStyle},
    {QTextFormat::TableCellRightBorder, QTextFormat::TableCellRightBorderStyle},
};

TableDialog::Line lineOf(const QTextTableCellFormat &cell, TableDialog::Side side)
{
    const SideProperties p = sideProperties[side];
    if (!cell.hasProperty(p.style))
        return TableDialog::AsTable;
    const int style = cell.intProperty(p.style);
    if (style == QTextFrameFormat::BorderStyle_None || cell.doubleProperty(p.width) <= 0)
        return TableDialog::NoLine;
    return style == QTextFrameFormat::BorderStyle_Double ? TableDialog::Double : TableDialog::Single;
}

QDoubleSpinBox *lengthBox(double maximum, double step, const QString &suffix, int decimals = 2)
{
    auto *box = new QDoubleSpinBox;
    box->setRange(0, maximum);
    box->setSingleStep(step);
    box->setDecimals(decimals);
    box->setSuffix(suffix);
    return box;
}

} // namespace

const QList<int> &TableDialog::shadingPercents()
{
    static const QList<int> percents = {0, 5, 10, 20, 25, 30, 40, 50, 75};
    return percents;
}

TableDialog::TableDialog(const Current &current, QWidget *parent)
    : QDialog(parent)
    , m_current(current)
{
    setWindowTitle(QStringLiteral("表の設定"));
    m_pages = new QTabWidget(this);
    m_pages->addTab(buildTablePage(), QStringLiteral("表(&T)"));
    m_pages->addTab(buildCellPage(), QStringLiteral("セル(&E)"));
    QDialogButtonBox *buttons = okCancelButtons(this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
    showCurrent();
}

QWidget *TableDialog::buildTablePage()
{
    m_width = new QSpinBox;
    m_width->setRange(5, 400);
    m_width->setSuffix(QStringLiteral(" %"));
    m_alignment = new QComboBox;
    m_alignment->addItems({QStringLiteral("左揃え"), QStringLiteral("中央揃え"), QStringLiteral("右揃え")});
    m_indent = lengthBox(300, 1, QStringLiteral(" mm"), 1);
    m_border = lengthBox(6, 0.25, QStringLiteral(" pt"));
    m_padding = lengthBox(72, 0.5, QStringLiteral(" pt"));
    m_columnWidth = lengthBox(1000, 1, QStringLiteral(" mm"), 1);
    m_columnWidth->setMinimum(1);
    m_rowHeight = lengthBox(500, 1, QStringLiteral(" mm"), 1);
    m_rowHeight->setSpecialValueText(QStringLiteral("自動"));

    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(QStringLiteral("表の幅(&W):"), m_width);
    form->addRow(QStringLiteral("配置(&G):"), m_alignment);
    form->addRow(QStringLiteral("左端からの位置(&I):"), m_indent);
    form->addRow(QStringLiteral("罫線の太さ(&B):"), m_border);
    form->addRow(QStringLiteral("セル内の余白(&P):"), m_padding);
    form->addRow(QStringLiteral("この列の幅(&C):"), m_columnWidth);
    form->addRow(QStringLiteral("この行の高さ(&H):"), m_rowHeight);
    return page;
}

QWidget *TableDialog::buildCellPage()
{
    auto *lines = new QGroupBox(QStringLiteral("罫線"));
    auto *grid = new QGridLayout(lines);
    static const char16_t *const sideNames[4] = {u"上(&U):", u"下(&D):", u"左(&L):", u"右(&R):"};
    for (int side = Top; side <= Right; ++side) {
        m_sides[side] = new QComboBox;
        m_sides[side]->addItems({QStringLiteral("表と同じ"), QStringLiteral("なし"), QStringLiteral("一重線"),
                                 QStringLiteral("二重線")});
        auto *label = new QLabel(QString::fromUtf16(sideNames[side]));
        label->setBuddy(m_sides[side]);
        grid->addWidget(label, side / 2, (side % 2) * 2);
        grid->addWidget(m_sides[side], side / 2, (side % 2) * 2 + 1);
    }
    m_cellLineWidth = lengthBox(6, 0.25, QStringLiteral(" pt"));
    m_cellLineWidth->setMinimum(0.25);
    auto *widthLabel = new QLabel(QStringLiteral("線の太さ(&W):"));
    widthLabel->setBuddy(m_cellLineWidth);
    grid->addWidget(widthLabel, 2, 0);
    grid->addWidget(m_cellLineWidth, 2, 1);

    m_shading = new QComboBox;
    for (int percent : shadingPercents())
        m_shading->addItem(percent == 0 ? QStringLiteral("なし") : QStringLiteral("%1 %").arg(percent));
    m_vertical = new QComboBox;
    m_vertical->addItems({QStringLiteral("上"), QStringLiteral("中央"), QStringLiteral("下")});
    m_merge = new QCheckBox(QStringLiteral("選択したセルを結合する(&M)"));
    m_split = new QCheckBox(QStringLiteral("セルの結合を解除する(&S)"));

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(lines);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("網かけ(&A):"), m_shading);
    form->addRow(QStringLiteral("縦の配置(&V):"), m_vertical);
    layout->addLayout(form);
    layout->addWidget(m_merge);
    layout->addWidget(m_split);
    layout->addStretch(1);
    return page;
}

void TableDialog::showCurrent()
{
    const QTextTableFormat &table = m_current.table;
    const double textWidth = std::max(1.0, m_current.textWidthPoints);
    const QTextLength width = table.width();
    m_width->setValue(width.type() == QTextLength::PercentageLength ? qRound(width.rawValue())
                      : width.type() == QTextLength::FixedLength ? qRound(width.rawValue() * 100 / textWidth)
                                                                 : 100);
    const Qt::Alignment alignment = table.alignment();
    m_alignment->setCurrentIndex(alignment & Qt::AlignHCenter ? 1 : alignment & Qt::AlignRight ? 2 : 0);
    m_indent->setValue(table.leftMargin() / PointsPerMillimetre);
    m_border->setValue(table.border());
    m_padding->setValue(table.cellPadding());
    const int columns = std::max(1, int(table.columnWidthConstraints().size()));
    const QList<double> widths = columnPoints(table, std::max(columns, m_current.column + 1),
                                              textWidth * m_width->value() / 100);
    m_columnWidth->setValue(widths.value(m_current.column, 10) / PointsPerMillimetre);
    m_initialColumnWidth = m_columnWidth->value();
    m_rowHeight->setValue(m_current.rowHeightTwips / TwipsPerMillimetre);
    m_initialRowHeight = m_rowHeight->value();

    const QTextTableCellFormat &cell = m_current.cell;
    double lineWidth = 0;
    for (int side = Top; side <= Right; ++side) {
        m_initialSides[side] = lineOf(cell, Side(side));
        m_sides[side]->setCurrentIndex(m_initialSides[side]);
        if (m_initialSides[side] == Single || m_initialSides[side] == Double)
            lineWidth = std::max(lineWidth, cell.doubleProperty(sideProperties[side].width));
    }
    m_cellLineWidth->setValue(lineWidth > 0 ? lineWidth : std::max(0.5, table.border()));
    m_initialCellLineWidth = m_cellLineWidth->value();

    int shading = 0;
    const QBrush background = cell.background();
    if (background.style() != Qt::NoBrush) {
        // The nearest listed shade of the cell's grey.
        const int percent = qRound((255 - qGray(background.color().rgb())) * 100 / 255.0);
        const QList<int> &percents = shadingPercents();
        for (int i = 0; i < percents.size(); ++i) {
            if (std::abs(percents[i] - percent) < std::abs(percents[shading] - percent))
                shading = i;
        }
    }
    m_initialShading = shading;
    m_shading->setCurrentIndex(shading);
    const QTextCharFormat::VerticalAlignment vertical = cell.verticalAlignment();
    m_initialVertical = vertical == QTextCharFormat::AlignMiddle ? 1 : vertical == QTextCharFormat::AlignBottom ? 2 : 0;
    m_vertical->setCurrentIndex(m_initialVertical);

    m_merge->setEnabled(m_current.canMerge);
    m_split->setEnabled(m_current.canSplit);
}

QTextTableFormat TableDialog::result() const
{
    QTextTableFormat format = m_current.table;
    format.setWidth(QTextLength(QTextLength::PercentageLength, m_width->value()));
    static const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    format.setAlignment(alignments[std::clamp(m_alignment->currentIndex(), 0, 2)]);
    format.setLeftMargin(m_indent->value() * PointsPerMillimetre);
    format.setBorder(m_border->value());
    format.setBorderStyle(m_border->value() > 0 ? QTextFrameFormat::BorderStyle_Solid
                                                : QTextFrameFormat::BorderStyle_None);
    format.setCellPadding(m_padding->value());
    if (m_columnWidth->value() != m_initialColumnWidth) {
        // Every column becomes a fixed length, the chosen one at its new width.
        const int column = m_current.column;
        const int columns = std::max(int(m_current.table.columnWidthConstraints().size()), column + 1);
        const double tableWidth = m_current.textWidthPoints * m_width->value() / 100;
        QList<double> widths = columnPoints(m_current.table, columns, tableWidth);
        widths[column] = m_columnWidth->value() * PointsPerMillimetre;
        QList<QTextLength> constraints;
        double total = 0;
        for (double w : widths) {
            constraints.append(QTextLength(QTextLength::FixedLength, w));
            total += w;
        }
        format.setColumnWidthConstraints(constraints);
        format.setWidth(QTextLength(QTextLength::FixedLength, total));
    }
    return format;
}

QTextTableCellFormat TableDialog::cellChanges() const
{
    QTextTableCellFormat changes;
    const bool widthChanged = m_cellLineWidth->value() != m_initialCellLineWidth;
    for (int side = Top; side <= Right; ++side) {
        const int line = m_sides[side]->currentIndex();
        const bool drawn = line == Single || line == Double;
        if (line == m_initialSides[side] && !(drawn && widthChanged))
            continue;
        const SideProperties p = sideProperties[side];
        if (line == NoLine) {
            changes.setProperty(p.style, int(QTextFrameFormat::BorderStyle_None));
            changes.setProperty(p.width, 0.0);
        } else if (drawn) {
            changes.setProperty(p.style, int(line == Double ? QTextFrameFormat::BorderStyle_Double
                                                            : QTextFrameFormat::BorderStyle_Solid));
            changes.setProperty(p.width, m_cellLineWidth->value());
        }
    }
    if (m_shading->currentIndex() != m_initialShading) {
        const int percent = shadingPercents().value(m_shading->currentIndex());
        if (percent == 0) {
            changes.setBackground(Qt::NoBrush);
        } else {
            const int level = qRound(255 - 255 * percent / 100.0);
            changes.setBackground(QColor(level, level, level));
        }
    }
    if (m_vertical->currentIndex() != m_initialVertical) {
        static const QTextCharFormat::VerticalAlignment verticals[] = {
            QTextCharFormat::AlignTop, QTextCharFormat::AlignMiddle, QTextCharFormat::AlignBottom};
        changes.setVerticalAlignment(verticals[std::clamp(m_vertical->currentIndex(), 0, 2)]);
    }
    return changes;
}

QList<int> TableDialog::cellPropertiesToClear() const
{
    QList<int> cleared;
    for (int side = Top; side <= Right; ++side) {
        if (m_sides[side]->currentIndex() == AsTable && m_initialSides[side] != AsTable)
            cleared << sideProperties[side].style << sideProperties[side].width;
    }
    return cleared;
}

std::optional<int> TableDialog::rowHeightChange() const
{
    if (m_rowHeight->value() == m_initialRowHeight)
        return std::nullopt;
    return qRound(m_rowHeight->value() * TwipsPerMillimetre);
}

bool TableDialog::mergeRequested() const
{
    return m_merge->isEnabled() && m_merge->isChecked();
}

bool TableDialog::splitRequested() const
{
    return m_split->isEnabled() && m_split->isChecked();
}

} // namespace tamapiko::engine
