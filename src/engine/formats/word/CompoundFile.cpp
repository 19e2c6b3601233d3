#include "engine/formats/word/CompoundFile.h"

#include "engine/formats/word/BinaryData.h"

#include <QSet>

#include <algorithm>
#include <functional>
#include <numeric>
#include <vector>

namespace tamapiko::engine::word {

namespace {

constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kDifatSector = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kHeaderDifatEntries = 109;
constexpr int kDirectoryEntrySize = 128;
const QByteArray kSignature = QByteArray::fromHex("D0CF11E0A1B11AE1");

QString damaged(const QString &what)
{
    return QStringLiteral("The compound file is damaged: %1.").arg(what);
}

} // namespace

// ---------------------------------------------------------------- reader

bool CompoundFileReader::hasSignature(QByteArrayView data)
{
    return data.startsWith(kSignature);
}

bool CompoundFileReader::open(const QByteArray &data, QString *error)
{
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!hasSignature(data))
        return fail(QStringLiteral("The file is not a compound file."));
    if (data.size() < 512)
        return fail(QStringLiteral("The compound file is truncated: its header is incomplete."));
    m_data = data;
    const ByteReader header(m_data);
    const quint16 shift = header.u16(0x1E);
    if (shift != 9 && shift != 12)
        return fail(damaged(QStringLiteral("sector size 2^%1 is not 512 or 4096").arg(shift)));
    m_sectorSize = 1u << shift;
    const quint16 miniShift = header.u16(0x20);
    if (miniShift != 6)
        return fail(damaged(QStringLiteral("mini sector size 2^%1 is not 64").arg(miniShift)));
    m_miniSectorSize = 64;
    m_miniCutoff = header.u32(0x38);
    if (m_miniCutoff != 4096)
        m_miniCutoff = 4096; // the only value writers use; anything else is damage

    const quint64 sectorCount = (quint64(m_data.size()) + m_sectorSize - 1) / m_sectorSize - 1;
    const quint32 fatSectors = header.u32(0x2C);
    const quint32 directoryStart = header.u32(0x30);
    const quint32 miniFatStart = header.u32(0x3C);
    const quint32 miniFatSectors = header.u32(0x40);
    quint32 difatSector = header.u32(0x44);
    const quint32 difatSectors = header.u32(0x48);
    if (fatSectors > sectorCount || difatSectors > sectorCount || miniFatSectors > sectorCount)
        return fail(damaged(QStringLiteral("its header counts more sectors than the file holds")));

    auto sectorData = [&](quint32 sector) -> QByteArrayView {
        const quint64 offset = (quint64(sector) + 1) * m_sectorSize;
        if (sector >= kDifatSector || offset >= quint64(m_data.size()))
            return {};
        // A short last sector reads as if padded with zeros by the caller.
        return QByteArrayView(m_data).sliced(qsizetype(offset),
                                              qsizetype(std::min<quint64>(m_sectorSize, m_data.size() - offset)));
    };

    // The FAT's own sectors: 109 in the header, the rest in the DIFAT chain.
    QList<quint32> fatSectorList;
    for (int i = 0; i < kHeaderDifatEntries && quint32(fatSectorList.size()) < fatSectors; ++i)
        fatSectorList.append(header.u32(0x4C + 4 * i));
    QSet<quint32> seen;
    const quint32 perSector = m_sectorSize / 4;
    while (quint32(fatSectorList.size()) < fatSectors) {
        if (difatSector >= kDifatSector || seen.contains(difatSector) || quint32(seen.size()) > difatSectors)
            return fail(damaged(QStringLiteral("its list of FAT sectors is broken")));
        seen.insert(difatSector);
        const QByteArrayView sector = sectorData(difatSector);
        if (sector.size() < qsizetype(m_sectorSize))
            return fail(QStringLiteral("The compound file is truncated: a DIFAT sector is missing."));
        const ByteReader r(sector);
        for (quint32 i = 0; i + 1 < perSector && quint32(fatSectorList.size()) < fatSectors; ++i)
            fatSectorList.append(r.u32(4 * i));
        difatSector = r.u32(4 * (perSector - 1));
    }
    m_fat.clear();
    m_fat.reserve(qsizetype(fatSectorList.size() * perSector));
    for (const quint32 sector : fatSectorList) {
        const QByteArrayView bytes = sectorData(sector);
        if (bytes.isEmpty())
            return fail(QStringLiteral("The compound file is truncated: a FAT sector is missing."));
        const ByteReader r(bytes);
        for (quint32 i = 0; i < perSector; ++i)
            m_fat.append(4 * i + 4 <= quint32(bytes.size()) ? r.u32(4 * i) : kFreeSector);
    }

    QByteArray directory;
    if (!readChain(directoryStart, 0, &directory, error))
        return false;
    m_entries.clear();
    for (qsizetype at = 0; at + kDirectoryEntrySize <= directory.size(); at += kDirectoryEntrySize) {
        const ByteReader r(QByteArrayView(directory).sliced(at, kDirectoryEntrySize));
        Entry entry;
        const int nameBytes = std::clamp<int>(r.u16(0x40), 0, 64);
        for (int i = 0; i + 1 < nameBytes; i += 2) {
            const char16_t c = r.u16(i);
            if (c == 0)
                break;
            entry.name.append(QChar(c));
        }
        entry.type = r.u8(0x42);
        entry.left = r.u32(0x44);
        entry.right = r.u32(0x48);
        entry.child = r.u32(0x4C);
        entry.start = r.u32(0x74);
        entry.size = r.u32(0x78);
        if (m_sectorSize == 4096)
            entry.size |= quint64(r.u32(0x7C)) << 32;
        m_entries.append(entry);
    }
    if (m_entries.isEmpty() || m_entries.first().type != 5)
        return fail(damaged(QStringLiteral("it has no root entry")));

    // The root's children form a tree through the sibling links.
    m_topLevel.clear();
    QList<quint32> pending{m_entries.first().child};
    QSet<quint32> visited;
    while (!pending.isEmpty()) {
        const quint32 index = pending.takeLast();
        if (index == kNoStream)
            continue;
        if (index >= quint32(m_entries.size()) || visited.contains(index))
            return fail(damaged(QStringLiteral("its directory links are broken")));
        visited.insert(index);
        m_topLevel.append(int(index));
        pending.append(m_entries.at(index).left);
        pending.append(m_entries.at(index).right);
    }

    QByteArray miniFatBytes;
    m_miniFat.clear();
    m_miniStream.clear();
    if (miniFatSectors > 0 && miniFatStart < kDifatSector) {
        if (!readChain(miniFatStart, 0, &miniFatBytes, error))
            return false;
        const ByteReader r(miniFatBytes);
        for (qsizetype at = 0; at + 4 <= miniFatBytes.size(); at += 4)
            m_miniFat.append(r.u32(at));
        const Entry &root = m_entries.first();
        if (!readChain(root.start, root.size, &m_miniStream, error))
            return false;
    }
    return true;
}

// Reads a chain of sectors: every step in range, no sector twice, and at
// most as many sectors as the file holds. `size` 0 reads the whole chain.
bool CompoundFileReader::readChain(quint32 start, quint64 size, QByteArray *out, QString *error) const
{
    out->clear();
    if (size > quint64(m_data.size()))
        size = quint64(m_data.size()); // never more than the file can hold
    const quint64 sectorCount = m_fat.size();
    std::vector<bool> visited(sectorCount);
    quint32 sector = start;
    while (sector != kEndOfChain && (size == 0 || quint64(out->size()) < size)) {
        const bool loops = sector < sectorCount && visited[sector];
        if (sector >= sectorCount || loops) {
            if (error)
                *error = loops ? damaged(QStringLiteral("a stream's sectors form a loop"))
                               : damaged(QStringLiteral("a stream points outside the file"));
            return false;
        }
        visited[sector] = true;
        const quint64 offset = (quint64(sector) + 1) * m_sectorSize;
        if (offset >= quint64(m_data.size())) {
            if (error)
                *error = QStringLiteral("The compound file is truncated: a stream ends past the end of the file.");
            return false;
        }
        const qsizetype available = qsizetype(std::min<quint64>(m_sectorSize, m_data.size() - offset));
        out->append(m_data.constData() + offset, available);
        if (available < qsizetype(m_sectorSize))
            out->append(QByteArray(qsizetype(m_sectorSize) - available, '\0'));
        sector = m_fat.at(qsizetype(sector));
    }
    if (size > 0) {
        if (quint64(out->size()) < size) {
            if (error)
                *error = damaged(QStringLiteral("a stream is shorter than its directory entry says"));
            return false;
        }
        out->truncate(qsizetype(size));
    }
    return true;
}

bool CompoundFileReader::readMiniChain(quint32 start, quint64 size, QByteArray *out, QString *error) const
{
    out->clear();
    const quint64 count = m_miniFat.size();
    quint64 steps = 0;
    quint32 sector = start;
    while (quint64(out->size()) < size) {
        const quint64 offset = quint64(sector) * m_miniSectorSize;
        if (sector >= count || ++steps > count || offset + m_miniSectorSize > quint64(m_miniStream.size())) {
            if (error)
                *error = damaged(QStringLiteral("a small stream's sectors are broken"));
            return false;
        }
        out->append(m_miniStream.constData() + offset, m_miniSectorSize);
        sector = m_miniFat.at(qsizetype(sector));
    }
    out->truncate(qsizetype(size));
    return true;
}

const CompoundFileReader::Entry *CompoundFileReader::findTopLevel(const QString &name) const
{
    for (const int index : m_topLevel) {
        const Entry &entry = m_entries.at(index);
        if (entry.type == 2 && entry.name.compare(name, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

bool CompoundFileReader::hasStream(const QString &name) const
{
    return findTopLevel(name) != nullptr;
}

QStringList CompoundFileReader::streamNames() const
{
    QStringList names;
    for (const int index : m_topLevel)
        names.append(m_entries.at(index).name);
    return names;
}

bool CompoundFileReader::readStream(const QString &name, QByteArray *out, QString *error) const
{
    const Entry *entry = findTopLevel(name);
    if (!entry) {
        if (error)
            *error = damaged(QStringLiteral("the stream %1 is missing").arg(name));
        return false;
    }
    if (entry->size == 0) {
        out->clear();
        return true;
    }
    if (entry->size < m_miniCutoff)
        return readMiniChain(entry->start, entry->size, out, error);
    return readChain(entry->start, entry->size, out, error);
}

// ---------------------------------------------------------------- writer

void CompoundFileWriter::addStream(const QString &name, const QByteArray &data)
{
    m_streams.append(Stream{name, data});
}

QByteArray CompoundFileWriter::write() const
{
    constexpr quint32 kSector = 512;
    constexpr quint32 kMini = 64;
    constexpr quint32 kCutoff = 4096;
    constexpr quint32 kPerSector = kSector / 4;

    // Small streams go into the mini stream, each on whole mini sectors.
    QByteArray miniStream;
    QList<quint32> miniFat;
    QList<quint32> starts(m_streams.size(), kEndOfChain);
    for (qsizetype i = 0; i < m_streams.size(); ++i) {
        const QByteArray &data = m_streams.at(i).data;
        if (data.isEmpty() || quint32(data.size()) >= kCutoff)
            continue;
        const quint32 first = quint32(miniFat.size());
        const quint32 count = (quint32(data.size()) + kMini - 1) / kMini;
        for (quint32 k = 0; k < count; ++k)
            miniFat.append(k + 1 == count ? kEndOfChain : first + k + 1);
        starts[i] = first;
        miniStream.append(data);
        miniStream.append(QByteArray(qsizetype(count * kMini) - data.size(), '\0'));
    }

    // Regular sectors, in file order: big streams, the mini stream, the
    // mini FAT, the directory, then the FAT and DIFAT that describe them.
    QByteArray body;
    QList<quint32> fat;
    auto place = [&](const QByteArray &data, quint32 marker = 0) -> quint32 {
        if (data.isEmpty())
            return kEndOfChain;
        const quint32 first = quint32(fat.size());
        const quint32 count = (quint32(data.size()) + kSector - 1) / kSector;
        for (quint32 k = 0; k < count; ++k)
            fat.append(marker ? marker : (k + 1 == count ? kEndOfChain : first + k + 1));
        body.append(data);
        body.append(QByteArray(qsizetype(count * kSector) - data.size(), '\0'));
        return first;
    };
    for (qsizetype i = 0; i < m_streams.size(); ++i) {
        if (quint32(m_streams.at(i).data.size()) >= kCutoff)
            starts[i] = place(m_streams.at(i).data);
    }
    const quint32 miniStreamStart = place(miniStream);
    QByteArray miniFatBytes;
    for (const quint32 next : miniFat)
        appendU32(miniFatBytes, next);
    const quint32 miniFatStart = place(miniFatBytes);
    const quint32 miniFatSectors = (quint32(miniFatBytes.size()) + kSector - 1) / kSector;

    // The directory: the root, then the streams as a balanced tree in the
    // order compound files sort names (shorter first, then upper-cased).
    QList<int> order(m_streams.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const QString &x = m_streams.at(a).name;
        const QString &y = m_streams.at(b).name;
        if (x.size() != y.size())
            return x.size() < y.size();
        return x.toUpper() < y.toUpper();
    });
    const int entryCount = int(m_streams.size()) + 1;
    struct Node { quint32 left = kNoStream, right = kNoStream; bool red = false; };
    QList<Node> nodes(entryCount);
    int maxDepth = 0;
    std::function<quint32(int, int, int)> build = [&](int from, int to, int depth) -> quint32 {
        if (from >= to)
            return kNoStream;
        const int middle = (from + to) / 2;
        const quint32 index = quint32(order.at(middle) + 1);
        maxDepth = std::max(maxDepth, depth);
        nodes[index].left = build(from, middle, depth + 1);
        nodes[index].right = build(middle + 1, to, depth + 1);
        return index;
    };
    const quint32 rootChild = build(0, int(order.size()), 0);
    // A balanced tree whose deepest level is not full: that level is red.
    std::function<void(quint32, int)> colour = [&](quint32 index, int depth) {
        if (index == kNoStream)
            return;
        const int full = (1 << (maxDepth + 1)) - 1;
        nodes[index].red = depth == maxDepth && depth > 0 && order.size() != full;
        colour(nodes[index].left, depth + 1);
        colour(nodes[index].right, depth + 1);
    };
    colour(rootChild, 0);

    QByteArray directory;
    auto entry = [&](const QString &name, quint8 type, const Node &node, quint32 child, quint32 start,
                     quint32 size) {
        QByteArray e(kDirectoryEntrySize, '\0');
        const QString shortName = name.left(31);
        for (qsizetype i = 0; i < shortName.size(); ++i)
            putU16(e, 2 * i, shortName.at(i).unicode());
        putU16(e, 0x40, quint16((shortName.size() + 1) * 2));
        e[0x42] = char(type);
        e[0x43] = node.red ? 0 : 1;
        putU32(e, 0x44, node.left);
        putU32(e, 0x48, node.right);
        putU32(e, 0x4C, child);
        putU32(e, 0x74, start);
        putU32(e, 0x78, size);
        directory.append(e);
    };
    entry(QStringLiteral("Root Entry"), 5, Node{}, rootChild, miniStream.isEmpty() ? kEndOfChain : miniStreamStart,
          quint32(miniStream.size()));
    for (qsizetype i = 0; i < m_streams.size(); ++i) {
        entry(m_streams.at(i).name, 2, nodes.at(i + 1), kNoStream,
              m_streams.at(i).data.isEmpty() ? kEndOfChain : starts.at(i), quint32(m_streams.at(i).data.size()));
    }
    while (directory.size() % kSector) // unused entries link nowhere
        entry(QString(), 0, Node{}, kNoStream, 0, 0);
    const quint32 directoryStart = place(directory);

    // FAT and DIFAT sectors describe themselves too: grow until they fit.
    quint32 fatSectors = 0, difatSectors = 0;
    for (;;) {
        const quint32 total = quint32(fat.size()) + fatSectors + difatSectors;
        const quint32 neededFat = (total + kPerSector - 1) / kPerSector;
        const quint32 neededDifat = neededFat > quint32(kHeaderDifatEntries)
            ? (neededFat - kHeaderDifatEntries + kPerSector - 2) / (kPerSector - 1) : 0;
        if (neededFat == fatSectors && neededDifat == difatSectors)
            break;
        fatSectors = neededFat;
        difatSectors = neededDifat;
    }
    const quint32 fatStart = quint32(fat.size());
    for (quint32 k = 0; k < fatSectors; ++k)
        fat.append(kFatSector);
    const quint32 difatStart = quint32(fat.size());
    for (quint32 k = 0; k < difatSectors; ++k)
        fat.append(kDifatSector);
    while (fat.size() % kPerSector)
        fat.append(kFreeSector);

    QByteArray header(512, '\0');
    header.replace(0, 8, kSignature);
    putU16(header, 0x18, 0x003E);
    putU16(header, 0x1A, 3);
    putU16(header, 0x1C, 0xFFFE);
    putU16(header, 0x1E, 9);
    putU16(header, 0x20, 6);
    putU32(header, 0x2C, fatSectors);
    putU32(header, 0x30, directoryStart);
    putU32(header, 0x38, kCutoff);
    putU32(header, 0x3C, miniFatSectors ? miniFatStart : kEndOfChain);
    putU32(header, 0x40, miniFatSectors);
    putU32(header, 0x44, difatSectors ? difatStart : kEndOfChain);
    putU32(header, 0x48, difatSectors);
    for (int i = 0; i < kHeaderDifatEntries; ++i)
        putU32(header, 0x4C + 4 * i, quint32(i) < fatSectors ? fatStart + quint32(i) : kFreeSector);

    QByteArray result = header + body;
    for (const quint32 next : fat)
        appendU32(result, next);
    // DIFAT sectors: the FAT sectors beyond the header's 109, chained.
    for (quint32 d = 0; d < difatSectors; ++d) {
        QByteArray sector;
        for (quint32 i = 0; i + 1 < kPerSector; ++i) {
            const quint32 n = kHeaderDifatEntries + d * (kPerSector - 1) + i;
            appendU32(sector, n < fatSectors ? fatStart + n : kFreeSector);
        }
        appendU32(sector, d + 1 < difatSectors ? difatStart + d + 1 : kEndOfChain);
        result.append(sector);
    }
    return result;
}

} // namespace tamapiko::engine::word
