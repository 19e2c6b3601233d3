#include "engine/formats/NativeValues.h"

#include "engine/formats/ValueLimits.h"

#include <QBrush>
#include <QColor>
#include <QIODevice>
#include <QPen>
#include <QStringList>
#include <QTextOption>

namespace tamapiko::engine::native {

namespace {

// Numbers are part of the file format: never renumber, only add.
enum class Kind : quint8 {
    Bool = 1,
    Int = 2,
    Double = 3,
    String = 4,
    StringList = 5,
    Bytes = 6,
    Brush = 7,
    Color = 8,
    Pen = 9,
    TextLength = 10,
    List = 11,
    Tab = 12,
    Int64 = 13,
    UInt = 14,
    Float = 15,
};

constexpr int kMaxListDepth = 4;
constexpr quint32 kMaxProperties = 4096;

bool canWrite(const QVariant &value, int depth)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool: case QMetaType::Int: case QMetaType::Double: case QMetaType::QString:
    case QMetaType::QStringList: case QMetaType::QByteArray: case QMetaType::QBrush:
    case QMetaType::QColor: case QMetaType::QPen: case QMetaType::LongLong: case QMetaType::UInt:
    case QMetaType::Float:
        return true;
    case QMetaType::QVariantList:
        if (depth >= kMaxListDepth)
            return false;
        for (const QVariant &item : value.toList()) {
            if (!canWrite(item, depth + 1))
                return false;
        }
        return true;
    default:
        return value.metaType() == QMetaType::fromType<QTextLength>()
            || value.metaType() == QMetaType::fromType<QTextOption::Tab>();
    }
}

// Brushes and pens are written field by field: Qt's own stream form carries
// gradient stops and dash patterns as counted lists it reserves memory for
// before reading, which a damaged file could make enormous. The model only
// uses plain colours and patterns.
void writeBrush(QDataStream &out, const QBrush &brush)
{
    const Qt::BrushStyle style = brush.style() <= Qt::DiagCrossPattern ? brush.style() : Qt::SolidPattern;
    out << quint8(style) << brush.color();
}

QBrush readBrush(QDataStream &in)
{
    quint8 style = 0;
    QColor color;
    in >> style >> color;
    if (style > Qt::DiagCrossPattern) {
        in.setStatus(QDataStream::ReadCorruptData);
        return QBrush();
    }
    return QBrush(color, Qt::BrushStyle(style));
}

void writePen(QDataStream &out, const QPen &pen)
{
    const Qt::PenStyle style = pen.style() <= Qt::DashDotDotLine ? pen.style() : Qt::SolidLine;
    out << quint8(style) << double(pen.widthF()) << pen.color() << quint32(pen.capStyle())
        << quint32(pen.joinStyle());
}

QPen readPen(QDataStream &in)
{
    quint8 style = 0;
    double width = 0;
    QColor color;
    quint32 cap = 0;
    quint32 join = 0;
    in >> style >> width >> color >> cap >> join;
    const bool validCap = cap == Qt::FlatCap || cap == Qt::SquareCap || cap == Qt::RoundCap;
    const bool validJoin = join == Qt::MiterJoin || join == Qt::BevelJoin || join == Qt::RoundJoin
        || join == Qt::SvgMiterJoin;
    if (style > Qt::DashDotDotLine || !(width >= 0 && width < 1e6) || !validCap || !validJoin) {
        in.setStatus(QDataStream::ReadCorruptData);
        return QPen();
    }
    QPen pen(QBrush(color), width, Qt::PenStyle(style), Qt::PenCapStyle(cap), Qt::PenJoinStyle(join));
    return pen;
}

void writeChecked(QDataStream &out, const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool: out << quint8(Kind::Bool) << quint8(value.toBool()); return;
    case QMetaType::Int: out << quint8(Kind::Int) << qint32(value.toInt()); return;
    case QMetaType::Double: out << quint8(Kind::Double) << value.toDouble(); return;
    case QMetaType::Float: out << quint8(Kind::Float) << value.toDouble(); return;
    case QMetaType::LongLong: out << quint8(Kind::Int64) << qint64(value.toLongLong()); return;
    case QMetaType::UInt: out << quint8(Kind::UInt) << quint32(value.toUInt()); return;
    case QMetaType::QString: out << quint8(Kind::String) << value.toString(); return;
    case QMetaType::QStringList: {
        const QStringList list = value.toStringList();
        out << quint8(Kind::StringList) << quint32(list.size());
        for (const QString &item : list)
            out << item;
        return;
    }
    case QMetaType::QByteArray: out << quint8(Kind::Bytes) << value.toByteArray(); return;
    case QMetaType::QBrush: out << quint8(Kind::Brush); writeBrush(out, value.value<QBrush>()); return;
    case QMetaType::QColor: out << quint8(Kind::Color) << value.value<QColor>(); return;
    case QMetaType::QPen: out << quint8(Kind::Pen); writePen(out, value.value<QPen>()); return;
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        out << quint8(Kind::List) << quint32(list.size());
        for (const QVariant &item : list)
            writeChecked(out, item);
        return;
    }
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<QTextLength>()) {
        out << quint8(Kind::TextLength) << value.value<QTextLength>();
    } else {
        const auto tab = value.value<QTextOption::Tab>();
        out << quint8(Kind::Tab) << double(tab.position) << qint32(tab.type) << tab.delimiter;
    }
}

QVariant readValue(QDataStream &in, int depth)
{
    quint8 kind = 0;
    in >> kind;
    switch (Kind(kind)) {
    case Kind::Bool: { quint8 v = 0; in >> v; return bool(v); }
    case Kind::Int: { qint32 v = 0; in >> v; return int(v); }
    case Kind::Double: { double v = 0; in >> v; return v; }
    case Kind::Float: { double v = 0; in >> v; return float(v); }
    case Kind::Int64: { qint64 v = 0; in >> v; return qlonglong(v); }
    case Kind::UInt: { quint32 v = 0; in >> v; return uint(v); }
    case Kind::String: { QString v; in >> v; return v; }
    case Kind::StringList: {
        quint32 count = 0;
        in >> count;
        if (qint64(count) * 4 > in.device()->bytesAvailable())
            break; // each string takes at least its length field
        QStringList list;
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            QString item;
            in >> item;
            list.append(item);
        }
        return list;
    }
    case Kind::Bytes: { QByteArray v; in >> v; return v; }
    case Kind::Brush: return readBrush(in);
    case Kind::Color: { QColor v; in >> v; return v; }
    case Kind::Pen: return readPen(in);
    case Kind::TextLength: { QTextLength v; in >> v; return QVariant::fromValue(v); }
    case Kind::Tab: {
        double position = 0;
        qint32 type = 0;
        QChar delimiter;
        in >> position >> type >> delimiter;
        if (type < QTextOption::LeftTab || type > QTextOption::DelimiterTab)
            break;
        return QVariant::fromValue(QTextOption::Tab(position, QTextOption::TabType(type), delimiter));
    }
    case Kind::List: {
        quint32 count = 0;
        in >> count;
        // Every item takes at least one byte, so a count beyond what is left
        // is damage, not a reason to reserve memory.
        if (depth >= kMaxListDepth || in.device()->bytesAvailable() < qint64(count))
            break;
        QVariantList list;
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
            list.append(readValue(in, depth + 1));
        return list;
    }
    }
    in.setStatus(QDataStream::ReadCorruptData);
    return QVariant();
}

} // namespace

void prepareStream(QDataStream &stream)
{
    stream.setVersion(QDataStream::Qt_6_4);
    stream.setByteOrder(QDataStream::BigEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

bool writeValue(QDataStream &out, const QVariant &value)
{
    if (!canWrite(value, 0))
        return false;
    writeChecked(out, value);
    return true;
}

QVariant readValue(QDataStream &in)
{
    return readValue(in, 0);
}

void writeFormat(QDataStream &out, const QTextFormat &format)
{
    QMap<int, QVariant> properties = format.properties();
    properties.remove(QTextFormat::ObjectIndex);
    for (auto it = properties.begin(); it != properties.end();) {
        if (canWrite(it.value(), 0))
            ++it;
        else
            it = properties.erase(it); // a type no filter of ours produces
    }
    out << qint32(format.type()) << quint32(properties.size());
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        out << qint32(it.key());
        writeChecked(out, it.value());
    }
}

QTextFormat readFormat(QDataStream &in)
{
    qint32 type = 0;
    quint32 count = 0;
    in >> type >> count;
    if (count > kMaxProperties || type < QTextFormat::InvalidFormat || type > QTextFormat::UserFormat) {
        in.setStatus(QDataStream::ReadCorruptData);
        return QTextFormat();
    }
    QTextFormat format(type);
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint32 id = 0;
        in >> id;
        const QVariant value = readValue(in);
        if (in.status() == QDataStream::Ok && id != QTextFormat::ObjectIndex)
            format.setProperty(id, value);
    }
    return limits::bounded(format);
}

} // namespace tamapiko::engine::native
