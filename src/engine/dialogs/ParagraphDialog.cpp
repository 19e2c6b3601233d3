#include "engine/dialogs/DialogButtons.h"
#include "engine/dialogs/ParagraphDialog.h"

#include "engine/editing/ParagraphFormats.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tamapiko::engine {

namespace {

constexpr double PointsPerMillimetre = 72.0 / 25.4;
constexpr double PointsPerInch = 72.0;

// Line spacing choices, in the order of the box.
enum Spacing { Single, OneAndHalf, Double, AtLeast, Exactly, Multiple };

// A length box; `points` is the largest value in points, the box's own
// range follows from the unit.
QDoubleSpinBox *lengthBox(double minimumPoints, double maximumPoints, double pointsPerUnit, const QString &suffix,
                          QWidget *parent)
{
    auto *box = new QDoubleSpinBox(parent);
    const bool inches = pointsPerUnit == PointsPerInch;
    box->setDecimals(inches ? 2 : 1);
    box->setRange(minimumPoints / pointsPerUnit, maximumPoints / pointsPerUnit);
    box->setSingleStep(inches ? 0.1 : pointsPerUnit == 1 ? 0.5 : 1);
    box->setSuffix(suffix);
    box->setAccelerated(true);
    return box;
}

} // namespace

ParagraphDialog::ParagraphDialog(const QTextBlockFormat &current, Unit unit, QWidget *parent)
    : QDialog(parent)
    , m_initial(current)
    , m_pointsPerUnit(unit == Unit::Inch ? PointsPerInch : PointsPerMillimetre)
{
    setWindowTitle(QStringLiteral("段落"));

    m_alignment = new QComboBox(this);
    m_alignment->addItems({QStringLiteral("左揃え"), QStringLiteral("右揃え"), QStringLiteral("中央揃え"),
                           QStringLiteral("両端揃え")});
    const QString suffix = unit == Unit::Inch ? QStringLiteral(" インチ") : QStringLiteral(" mm");
    constexpr double Indents = 500 * PointsPerMillimetre;
    m_left = lengthBox(-100 * PointsPerMillimetre, Indents, m_pointsPerUnit, suffix, this);
    m_right = lengthBox(-100 * PointsPerMillimetre, Indents, m_pointsPerUnit, suffix, this);
    m_firstLineKind = new QComboBox(this);
    m_firstLineKind->addItems({QStringLiteral("(なし)"), QStringLiteral("字下げ"), QStringLiteral("ぶら下げ")});
    m_firstLine = lengthBox(0, Indents, m_pointsPerUnit, suffix, this);
    m_before = lengthBox(0, 1584, m_pointsPerUnit, suffix, this);
    m_after = lengthBox(0, 1584, m_pointsPerUnit, suffix, this);
    m_spacing = new QComboBox(this);
    m_spacing->addItems({QStringLiteral("1 行"), QStringLiteral("1.5 行"), QStringLiteral("2 行"),
                         QStringLiteral("最小値"), QStringLiteral("固定値"), QStringLiteral("倍数")});
    m_spacingValue = lengthBox(0, 1584, 1, QString(), this);

    auto *placement = new QGroupBox(QStringLiteral("配置とインデント"), this);
    auto *placementForm = new QFormLayout(placement);
    placementForm->addRow(QStringLiteral("配置(&G):"), m_alignment);
    placementForm->addRow(QStringLiteral("左(&L):"), m_left);
    placementForm->addRow(QStringLiteral("右(&R):"), m_right);
    placementForm->addRow(QStringLiteral("最初の行(&S):"), m_firstLineKind);
    placementForm->addRow(QStringLiteral("幅(&Y):"), m_firstLine);
    auto *spacing = new QGroupBox(QStringLiteral("間隔"), this);
    auto *spacingForm = new QFormLayout(spacing);
    spacingForm->addRow(QStringLiteral("段落前(&B):"), m_before);
    spacingForm->addRow(QStringLiteral("段落後(&E):"), m_after);
    spacingForm->addRow(QStringLiteral("行間(&N):"), m_spacing);
    spacingForm->addRow(QStringLiteral("間隔(&A):"), m_spacingValue);

    QDialogButtonBox *buttons = okCancelButtons(this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(placement);
    layout->addWidget(spacing);
    layout->addWidget(buttons);

    m_alignment->setCurrentIndex(alignmentCode(current.alignment()));
    const double indent = current.textIndent();
    m_left->setValue(fromPoints(current.leftMargin() + std::min(0.0, indent)));
    m_right->setValue(fromPoints(current.rightMargin()));
    m_firstLineKind->setCurrentIndex(indent > 0 ? FirstLineIndent : indent < 0 ? HangingIndent : NoFirstLine);
    m_firstLine->setValue(fromPoints(std::abs(indent)));
    m_before->setValue(fromPoints(current.topMargin()));
    m_after->setValue(fromPoints(current.bottomMargin()));
    updateFirstLine();
    connect(m_firstLineKind, &QComboBox::currentIndexChanged, this, &ParagraphDialog::updateFirstLine);

    const qreal height = current.lineHeight();
    switch (current.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        m_spacing->setCurrentIndex(qFuzzyCompare(height, 150) ? OneAndHalf
                                   : qFuzzyCompare(height, 200) ? Double
                                   : qFuzzyCompare(height, 100) ? Single : Multiple);
        m_spacingValue->setValue(height / 100);
        break;
    case QTextBlockFormat::MinimumHeight:
        m_spacing->setCurrentIndex(AtLeast);
        m_spacingValue->setValue(height);
        break;
    case QTextBlockFormat::FixedHeight:
        m_spacing->setCurrentIndex(Exactly);
        m_spacingValue->setValue(height);
        break;
    default:
        m_spacing->setCurrentIndex(Single);
        break;
    }
    updateSpacingValue();
    connect(m_spacing, &QComboBox::currentIndexChanged, this, &ParagraphDialog::updateSpacingValue);

    m_initialAlignment = m_alignment->currentIndex();
    m_initialLeft = m_left->value();
    m_initialRight = m_right->value();
    m_initialFirstLineKind = m_firstLineKind->currentIndex();
    m_initialFirstLine = m_firstLine->value();
    m_initialBefore = m_before->value();
    m_initialAfter = m_after->value();
    m_initialSpacing = m_spacing->currentIndex();
    m_initialSpacingValue = m_spacingValue->value();
}

double ParagraphDialog::toPoints(double shown) const
{
    return shown * m_pointsPerUnit;
}

double ParagraphDialog::fromPoints(double points) const
{
    return points / m_pointsPerUnit;
}

// A first line of its own needs a width; none has none.
void ParagraphDialog::updateFirstLine()
{
    const bool hasWidth = m_firstLineKind->currentIndex() != NoFirstLine;
    m_firstLine->setEnabled(hasWidth);
    if (hasWidth && m_firstLine->value() <= 0)
        m_firstLine->setValue(fromPoints(10.5)); // one character of the default size
}

void ParagraphDialog::updateSpacingValue()
{
    const int choice = m_spacing->currentIndex();
    const bool hasValue = choice == AtLeast || choice == Exactly || choice == Multiple;
    m_spacingValue->setEnabled(hasValue);
    m_spacingValue->setSuffix(choice == Multiple ? QStringLiteral(" 行") : QStringLiteral(" pt"));
    if (choice == Multiple && m_spacingValue->value() <= 0)
        m_spacingValue->setValue(1);
    if ((choice == AtLeast || choice == Exactly) && m_spacingValue->value() < 1)
        m_spacingValue->setValue(12);
}

QTextBlockFormat ParagraphDialog::changes() const
{
    QTextBlockFormat format;
    if (m_alignment->currentIndex() != m_initialAlignment)
        format.setAlignment(alignmentFromCode(m_alignment->currentIndex()));
    const int kind = m_firstLineKind->currentIndex();
    if (m_left->value() != m_initialLeft || kind != m_initialFirstLineKind
        || (kind != NoFirstLine && m_firstLine->value() != m_initialFirstLine)) {
        // The left edge and the first line go together: a hanging indent
        // moves the other lines in by its width.
        const double width = kind == NoFirstLine ? 0 : toPoints(m_firstLine->value());
        format.setLeftMargin(toPoints(m_left->value()) + (kind == HangingIndent ? width : 0));
        format.setTextIndent(kind == HangingIndent ? -width : width);
    }
    if (m_right->value() != m_initialRight)
        format.setRightMargin(toPoints(m_right->value()));
    if (m_before->value() != m_initialBefore)
        format.setTopMargin(toPoints(m_before->value()));
    if (m_after->value() != m_initialAfter)
        format.setBottomMargin(toPoints(m_after->value()));
    if (m_spacing->currentIndex() != m_initialSpacing || m_spacingValue->value() != m_initialSpacingValue) {
        const double value = m_spacingValue->value();
        switch (m_spacing->currentIndex()) {
        case OneAndHalf: format.setLineHeight(150, QTextBlockFormat::ProportionalHeight); break;
        case Double: format.setLineHeight(200, QTextBlockFormat::ProportionalHeight); break;
        case AtLeast: format.setLineHeight(value, QTextBlockFormat::MinimumHeight); break;
        case Exactly: format.setLineHeight(value, QTextBlockFormat::FixedHeight); break;
        case Multiple: format.setLineHeight(value * 100, QTextBlockFormat::ProportionalHeight); break;
        default: format.setLineHeight(100, QTextBlockFormat::SingleHeight); break;
        }
    }
    return format;
}

} // namespace tamapiko::engine
