#include "engine/formats/NativeValues.h"

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
    case QMetaType::QStringList: out << quint8(Kind::StringList) << value.toStringList(); return;
    case QMetaType::QByteArray: out << quint8(Kind::Bytes) << value.toByteArray(); return;
    case QMetaType::QBrush: out << quint8(Kind::Brush) << value.value<QBrush>(); return;
    case QMetaType::QColor: out << quint8(Kind::Color) << value.value<QColor>(); return;
    case QMetaType::QPen: out << quint8(Kind::Pen) << value.value<QPen>(); return;
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
    case Kind::StringList: { QStringList v; in >> v; return v; }
    case Kind::Bytes: { QByteArray v; in >> v; return v; }
    case Kind::Brush: { QBrush v; in >> v; return v; }
    case Kind::Color: { QColor v; in >> v; return v; }
    case Kind::Pen: { QPen v; in >> v; return v; }
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
    return format;
}

} // namespace tamapiko::engine::native
