#include "engine/formats/ValueLimits.h"

#include "engine/EngineProperties.h"

#include <QDataStream>
#include <QIODevice>
#include <QTextFormat>
#include <QTextLength>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace tamapiko::engine::limits {

namespace {

// Integer properties that hold a length in twips.
bool isTwipsProperty(int property)
{
    switch (property) {
    case ParagraphFrameLineWidth:
    case ParagraphFrameDistance:
    case TableRowMinimumHeight:
        return true;
    default:
        return false;
    }
}

// Integer properties with a small range of their own: (smallest, largest).
std::optional<std::pair<qint64, qint64>> intRange(int property)
{
    switch (property) {
    case QTextFormat::FontPixelSize: return std::pair<qint64, qint64>(1, 2184); // 1638 pt on a 96 dpi screen
    case CharBaselineOffset: return std::pair<qint64, qint64>(-3276, 3276);       // half-points
    default: return std::nullopt;
    }
}

// A double property's value in range, or nothing when it is no number.
std::optional<double> boundedDouble(int property, double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (property == QTextFormat::FontPointSize)
        return std::clamp(value, SmallestFontPoints, LargestFontPoints);
    return std::clamp(value, -LargestPoints, LargestPoints);
}

// Qt's stream reader keeps whatever number a file gives as a length's kind:
// read it back as a number (through Qt's own writer) before taking it for
// one of the kinds.
qint32 lengthKind(const QTextLength &length)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << length;
    QDataStream in(bytes);
    qint32 kind = -1;
    in >> kind;
    return kind;
}

std::optional<QTextLength> boundedLength(const QTextLength &length)
{
    if (!std::isfinite(length.rawValue()))
        return std::nullopt;
    const qint32 kind = lengthKind(length);
    if (kind < QTextLength::VariableLength || kind > QTextLength::PercentageLength)
        return std::nullopt;
    const auto type = QTextLength::Type(kind);
    const double largest = type == QTextLength::PercentageLength ? 100.0 : LargestPoints;
    return QTextLength(type, std::clamp(length.rawValue(), 0.0, largest));
}

// The value brought into range, or an invalid QVariant when it goes.
QVariant boundedValue(int property, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const std::optional<double> bounded = boundedDouble(property, value.toDouble());
        if (!bounded)
            return QVariant();
        return value.typeId() == QMetaType::Float ? QVariant(float(*bounded)) : QVariant(*bounded);
    }
    case QMetaType::Int:
    case QMetaType::LongLong: {
        if (isTwipsProperty(property))
            return QVariant(twips(value.toLongLong()));
        if (const auto range = intRange(property))
            return QVariant(int(std::clamp(value.toLongLong(), range->first, range->second)));
        return value;
    }
    case QMetaType::QVariantList: {
        QVariantList items;
        for (const QVariant &item : value.toList()) {
            const QVariant kept = boundedValue(property, item);
            if (kept.isValid())
                items.append(kept);
            else if (item.typeId() == qMetaTypeId<QTextLength>())
                items.append(QVariant::fromValue(QTextLength()));   // columns keep their places
        }
        return items;
    }
    default:
        break;
    }
    if (value.typeId() == qMetaTypeId<QTextLength>()) {
        const std::optional<QTextLength> length = boundedLength(value.value<QTextLength>());
        return length ? QVariant::fromValue(*length) : QVariant();
    }
    if (value.typeId() == qMetaTypeId<QList<QTextLength>>()) {
        QList<QTextLength> lengths;
        for (const QTextLength &length : value.value<QList<QTextLength>>())
            lengths.append(boundedLength(length).value_or(QTextLength()));
        return QVariant::fromValue(lengths);
    }
    if (value.typeId() == qMetaTypeId<QTextOption::Tab>()) {
        QTextOption::Tab tab = value.value<QTextOption::Tab>();
        if (!std::isfinite(tab.position))
            return QVariant();
        tab.position = std::clamp(tab.position, -LargestPoints, LargestPoints);
        return QVariant::fromValue(tab);
    }
    return value;
}

// Lengths are set again rather than compared: comparing a length read from
// a file compares its kind, which may be a number no kind has.
bool holdsLengths(const QVariant &value)
{
    const int type = value.typeId();
    return type == qMetaTypeId<QTextLength>() || type == qMetaTypeId<QList<QTextLength>>()
           || type == QMetaType::QVariantList;
}

} // namespace

int twips(qint64 value)
{
    return int(std::clamp<qint64>(value, -LargestTwips, LargestTwips));
}

qreal points(double value)
{
    return std::isfinite(value) ? std::clamp(value, -LargestPoints, LargestPoints) : 0.0;
}

QTextFormat bounded(const QTextFormat &format)
{
    QTextFormat result = format;
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const QVariant value = boundedValue(it.key(), it.value());
        if (!value.isValid())
            result.clearProperty(it.key());
        else if (holdsLengths(it.value()) || value != it.value())
            result.setProperty(it.key(), value);
    }
    return result;
}

} // namespace tamapiko::engine::limits
