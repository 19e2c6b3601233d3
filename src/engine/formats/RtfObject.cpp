#include "engine/formats/RtfObject.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

namespace tamapiko::engine::rtf {

namespace {

constexpr quint32 OleVersion = 0x00000501;
constexpr quint32 EmbeddedFormat = 2;
constexpr quint16 PackageSignature = 2;
constexpr quint16 EmbeddedFileType = 3;
constexpr qsizetype LargestObject = qsizetype(256) << 20;

// Names in the ANSI code page of a Japanese system.
QByteArray ansi(const QString &text)
{
    QStringEncoder encoder("Shift_JIS", QStringEncoder::Flag::Default);
    return encoder.isValid() ? QByteArray(encoder.encode(text)) : text.toLatin1();
}

QString fromAnsi(QByteArrayView bytes)
{
    QStringDecoder decoder("Shift_JIS");
    return decoder.isValid() ? QString(decoder.decode(bytes)) : QString::fromLatin1(bytes);
}

class Writer
{
public:
    void u16(quint16 value) { append(qToLittleEndian(value)); }
    void u32(quint32 value) { append(qToLittleEndian(value)); }
    void bytes(QByteArrayView data) { m_out.append(data.data(), data.size()); }
    void zeroTerminated(const QByteArray &text) { bytes(text); m_out.append('\0'); }
    // A length (with the terminating zero) and the zero-terminated text;
    // an empty text is a zero length alone.
    void lengthPrefixed(const QByteArray &text)
    {
        if (text.isEmpty()) {
            u32(0);
            return;
        }
        u32(quint32(text.size() + 1));
        zeroTerminated(text);
    }
    QByteArray take() { return std::move(m_out); }

private:
    template<typename T>
    void append(T value) { m_out.append(reinterpret_cast<const char *>(&value), sizeof value); }
    QByteArray m_out;
};

class Reader
{
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}
    bool ok() const { return m_ok; }

    quint32 u32()
    {
        if (!need(4))
            return 0;
        const quint32 value = qFromLittleEndian<quint32>(m_data.data() + m_at);
        m_at += 4;
        return value;
    }
    quint16 u16()
    {
        if (!need(2))
            return 0;
        const quint16 value = qFromLittleEndian<quint16>(m_data.data() + m_at);
        m_at += 2;
        return value;
    }
    QByteArrayView bytes(qsizetype count)
    {
        if (count < 0 || !need(count))
            return {};
        const QByteArrayView view = m_data.sliced(m_at, count);
        m_at += count;
        return view;
    }
    QByteArray zeroTerminated()
    {
        const qsizetype end = m_data.indexOf('\0', m_at);
        if (end < 0) {
            m_ok = false;
            return {};
        }
        const QByteArray text = m_data.sliced(m_at, end - m_at).toByteArray();
        m_at = end + 1;
        return text;
    }
    QByteArray lengthPrefixed()
    {
        const quint32 length = u32();
        QByteArrayView text = bytes(qsizetype(length));
        if (text.endsWith('\0'))
            text.chop(1);
        return text.toByteArray();
    }

private:
    bool need(qsizetype count)
    {
        if (!m_ok || count > m_data.size() - m_at)
            m_ok = false;
        return m_ok;
    }

    QByteArrayView m_data;
    qsizetype m_at = 0;
    bool m_ok = true;
};

} // namespace

QByteArray packageObject(const PackagedFile &file)
{
    const QByteArray name = ansi(QFileInfo(file.fileName).fileName());
    Writer native;
    native.u16(PackageSignature);
    native.zeroTerminated(name);                  // label
    native.zeroTerminated(name);                  // where it came from
    native.u16(0);
    native.u16(EmbeddedFileType);
    native.u32(quint32(name.size() + 1));
    native.zeroTerminated(name);                  // where to unpack it
    native.u32(quint32(file.bytes.size()));
    native.bytes(file.bytes);
    const QByteArray nativeData = native.take();

    Writer object;
    object.u32(OleVersion);
    object.u32(EmbeddedFormat);
    object.lengthPrefixed("Package");
    object.lengthPrefixed({}); // topic
    object.lengthPrefixed({}); // item
    object.u32(quint32(nativeData.size()));
    object.bytes(nativeData);
    object.u32(OleVersion);    // no presentation of its own: the \result shows it
    object.u32(0);
    return object.take();
}

std::optional<PackagedFile> unpackObject(QByteArrayView objdata)
{
    Reader object(objdata);
    object.u32(); // version
    const quint32 format = object.u32();
    const QByteArray className = object.lengthPrefixed();
    object.lengthPrefixed();
    object.lengthPrefixed();
    const quint32 nativeSize = object.u32();
    const QByteArrayView nativeData = object.bytes(qsizetype(nativeSize));
    if (!object.ok() || format != EmbeddedFormat || className != "Package")
        return std::nullopt;

    Reader native(nativeData);
    if (native.u16() != PackageSignature)
        return std::nullopt;
    const QByteArray label = native.zeroTerminated();
    const QByteArray source = native.zeroTerminated();
    native.u16();
    if (native.u16() != EmbeddedFileType)
        return std::nullopt; // a link or a command line, never run
    native.bytes(qsizetype(native.u32()));
    const quint32 size = native.u32();
    if (size > quint32(LargestObject))
        return std::nullopt;
    const QByteArrayView bytes = native.bytes(qsizetype(size));
    if (!native.ok())
        return std::nullopt;
    // Paths may be Windows paths: the name is what follows the last
    // separator of either kind.
    QString name = fromAnsi(label.isEmpty() ? source : label);
    name = name.mid(std::max(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char('/'))) + 1);
    return PackagedFile{name, bytes.toByteArray()};
}

} // namespace tamapiko::engine::rtf
