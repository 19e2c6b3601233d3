#pragma once

// Encoding the same document in the native format again and again as it is
// edited (the autosave), at a cost that follows the edit, not the document.
//
// The TEXT chunk is by far the largest part of a file. It is kept in pieces,
// one per paragraph, table or frame at the top of the document, each written
// with the document's own format numbers. Qt reports where the document
// changed; the next snapshot encodes only the pieces that were touched and
// reuses the others without looking at them again. The file's numbering
// (formats counted in the order the text first uses them) is put in when the
// bytes are assembled. Pieces holding list paragraphs are encoded every time:
// a list's number in the file depends on the paragraphs before it.
//
// A snapshot's bytes are exactly those NativeFilter::encode() gives for the
// document at the time it was taken.

#include "engine/formats/NativeChunks.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <vector>

class QTextDocument;
class QTextFrame;

namespace tamapiko::engine {

class DocumentModel;

namespace native {

// Records of the TEXT chunk with the document's format indices where the
// file's numbers go.
struct NumberedBytes
{
    QByteArray bytes;
    QList<qint32> offsets;   // where each number is in `bytes`
    QList<int> indices;      // the document's format index there, in order
};

// The TEXT chunk in pieces, and the file's number for each format index.
struct TextPieces
{
    QList<NumberedBytes> pieces;
    QHash<int, qint32> fileNumbers;

    QByteArray assemble() const;
};

// Every chunk of a file, the TEXT chunk still in pieces.
struct EncodedParts
{
    QList<Chunk> before;           // the chunks in front of TEXT
    TextPieces text;

    QByteArray assemble() const;
};

// The pieces of the last snapshot of one document: one per item (paragraph,
// table, frame) of its root frame, with the range of positions it covers
// now. Changes Qt reports mark the pieces they touch and move the others.
class SegmentCache : public QObject
{
    Q_OBJECT

public:
    struct Segment
    {
        int start = 0;             // first position of the item
        int end = 0;               // one past its last
        bool stale = false;        // touched since it was encoded
        bool hasLists = false;     // encoded again every time
        NumberedBytes records;
    };

    // Ties the cache to `document`, emptying it when the document is
    // another one or was cleared (QTextDocument::clear() makes a new root
    // frame, and every position and format index after it is new).
    void attach(const QTextDocument *document);
    // Forgets everything (after a piece did not fit where it was expected).
    void reset() { m_segments.clear(); }

    std::vector<Segment> &segments() { return m_segments; }

private:
    void noteChange(int position, int removed, int added);

    std::vector<Segment> m_segments;
    QPointer<const QTextDocument> m_document;
    QPointer<QTextFrame> m_rootFrame;
    QMetaObject::Connection m_changes;
};

// Encodes `model`; with a `cache`, only what changed since its last use.
EncodedParts encodeParts(const DocumentModel &model, SegmentCache *cache);

} // namespace native

// A snapshot: the bytes of a native file, assembled on demand.
class NativeSnapshot
{
public:
    NativeSnapshot() = default;
    explicit NativeSnapshot(native::EncodedParts parts) : m_parts(std::move(parts)) {}
    // The whole file; safe on any thread, as the pieces are never changed.
    QByteArray bytes() const { return m_parts.assemble(); }

private:
    native::EncodedParts m_parts;
};

// Takes snapshots of one document, re-encoding only what changed since the
// last one. Lives on the document's thread.
class NativeSnapshotEncoder
{
public:
    NativeSnapshot take(const DocumentModel &model);

private:
    native::SegmentCache m_cache;
};

} // namespace tamapiko::engine
