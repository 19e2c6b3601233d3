#include "engine/dialogs/DialogButtons.h"
#include "engine/dialogs/TableDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace tamapiko::engine {

namespace {

constexpr double PointsPerMillimetre = 72.0 / 25.4;

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

} // namespace

TableDialog::TableDialog(const QTextTableFormat &current, int column, double textWidthPoints, QWidget *parent)
    : QDialog(parent)
    , m_current(current)
    , m_column(column)
    , m_textWidth(textWidthPoints)
{
    setWindowTitle(QStringLiteral("表の設定"));
    m_width = new QSpinBox(this);
    m_width->setRange(5, 400);
    m_width->setSuffix(QStringLiteral(" %"));
    m_alignment = new QComboBox(this);
    m_alignment->addItems({QStringLiteral("左揃え"), QStringLiteral("中央揃え"), QStringLiteral("右揃え")});
    m_border = new QDoubleSpinBox(this);
    m_border->setRange(0, 6);
    m_border->setSingleStep(0.25);
    m_border->setSuffix(QStringLiteral(" pt"));
    m_padding = new QDoubleSpinBox(this);
    m_padding->setRange(0, 72);
    m_padding->setSingleStep(0.5);
    m_padding->setSuffix(QStringLiteral(" pt"));
    m_columnWidth = new QDoubleSpinBox(this);
    m_columnWidth->setRange(1, 1000);
    m_columnWidth->setDecimals(1);
    m_columnWidth->setSuffix(QStringLiteral(" mm"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("表の幅(&W):"), m_width);
    form->addRow(QStringLiteral("配置(&G):"), m_alignment);
    form->addRow(QStringLiteral("罫線の太さ(&B):"), m_border);
    form->addRow(QStringLiteral("セル内の余白(&P):"), m_padding);
    form->addRow(QStringLiteral("この列の幅(&C):"), m_columnWidth);
    QDialogButtonBox *buttons = okCancelButtons(this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    const QTextLength width = current.width();
    m_width->setValue(width.type() == QTextLength::PercentageLength ? qRound(width.rawValue())
                      : width.type() == QTextLength::FixedLength ? qRound(width.rawValue() * 100 / m_textWidth)
                                                                 : 100);
    const Qt::Alignment alignment = current.alignment();
    m_alignment->setCurrentIndex(alignment & Qt::AlignHCenter ? 1 : alignment & Qt::AlignRight ? 2 : 0);
    m_border->setValue(current.border());
    m_padding->setValue(current.cellPadding());
    const int columns = std::max(1, int(current.columnWidthConstraints().size()));
    const QList<double> widths = columnPoints(current, std::max(columns, column + 1), m_textWidth * m_width->value() / 100);
    m_columnWidth->setValue(widths.value(column, 10) / PointsPerMillimetre);
    m_initialColumnWidth = m_columnWidth->value();
}

QTextTableFormat TableDialog::result() const
{
    QTextTableFormat format = m_current;
    format.setWidth(QTextLength(QTextLength::PercentageLength, m_width->value()));
    static const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    format.setAlignment(alignments[std::clamp(m_alignment->currentIndex(), 0, 2)]);
    format.setBorder(m_border->value());
    format.setBorderStyle(m_border->value() > 0 ? QTextFrameFormat::BorderStyle_Solid
                                                : QTextFrameFormat::BorderStyle_None);
    format.setCellPadding(m_padding->value());
    if (m_columnWidth->value() != m_initialColumnWidth) {
        // Every column becomes a fixed length, the chosen one at its new width.
        const int columns = std::max(int(m_current.columnWidthConstraints().size()), m_column + 1);
        const double tableWidth = m_textWidth * m_width->value() / 100;
        QList<double> widths = columnPoints(m_current, columns, tableWidth);
        widths[m_column] = m_columnWidth->value() * PointsPerMillimetre;
        QList<QTextLength> constraints;
        for (double w : widths)
            constraints.append(QTextLength(QTextLength::FixedLength, w));
        format.setColumnWidthConstraints(constraints);
        double total = 0;
        for (double w : widths)
            total += w;
        format.setWidth(QTextLength(QTextLength::FixedLength, total));
    }
    return format;
}

} // namespace tamapiko::engine
