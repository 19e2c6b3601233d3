#include "engine/formats/NativeSnapshot.h"

#include "engine/DocumentModel.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>
#include <QTextFrame>
#include <QtEndian>

#include <algorithm>

namespace tamapiko::engine {

namespace native {

QByteArray TextPieces::assemble() const
{
    qsizetype size = 0;
    for (const NumberedBytes &piece : pieces)
        size += piece.bytes.size();
    QByteArray text;
    text.reserve(size);
    for (const NumberedBytes &piece : pieces) {
        const qsizetype start = text.size();
        text.append(piece.bytes);
        char *records = text.data() + start;
        for (qsizetype i = 0; i < piece.indices.size(); ++i)
            qToBigEndian(fileNumbers.value(piece.indices.at(i), -1), records + piece.offsets.at(i));
    }
    return text;
}

QByteArray EncodedParts::assemble() const
{
    ChunkWriter chunks;
    for (const Chunk &chunk : before)
        chunks.add(chunk.tag.constData(), chunk.payload);
    chunks.add("TEXT", text.assemble());
    chunks.add("END ", QByteArray());
    return chunks.bytes();
}

void SegmentCache::attach(const QTextDocument *document)
{
    if (document == m_document && m_rootFrame && m_rootFrame == document->rootFrame())
        return;
    disconnect(m_changes);
    m_segments.clear();
    m_document = document;
    m_rootFrame = document->rootFrame();
    // Qt reports where a document changed only to a document with a layout;
    // every engine document has one, others get Qt's.
    document->documentLayout();
    m_changes = connect(document, &QTextDocument::contentsChange, this, &SegmentCache::noteChange);
}

void SegmentCache::noteChange(int position, int removed, int added)
{
    // Segments touching the changed range, ends included (a paragraph's
    // character format sits on the separator before it), are encoded again;
    // those after it move.
    const int delta = added - removed;
    auto segment = std::lower_bound(m_segments.begin(), m_segments.end(), position,
                                    [](const Segment &s, int at) { return s.end < at; });
    for (; segment != m_segments.end() && segment->start <= position + removed; ++segment) {
        segment->stale = true;
        segment->start = std::min(segment->start, position);
        segment->end = segment->end >= position + removed ? segment->end + delta : position + added;
    }
    for (; segment != m_segments.end(); ++segment) {
        segment->start += delta;
        segment->end += delta;
    }
}

} // namespace native

NativeSnapshot NativeSnapshotEncoder::take(const DocumentModel &model)
{
    m_cache.attach(model.document());
    return NativeSnapshot(native::encodeParts(model, &m_cache));
}

} // namespace tamapiko::engine
