#include "engine/formats/NativeFilter.h"
#include "engine/ResourceImage.h"

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/editing/EmbeddedObject.h"
#include "engine/editing/PictureReader.h"
#include "engine/formats/NativeChunks.h"
#include "engine/formats/NativeSnapshot.h"
#include "engine/formats/NativeValues.h"

#include <QBuffer>
#include <QHash>
#include <QIODevice>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <functional>

namespace tamapiko::engine {

namespace {

using namespace native;

const FilterRegistration<NativeFilter> registration;

// Records of the TEXT chunk. The numbers are part of the file format.
enum class Op : quint8 {
    Block = 1,       // block format, block char format: a paragraph starts
    Fragment = 2,    // char format, text
    FrameBegin = 3,  // frame format; the frame's contents follow
    FrameEnd = 4,
    TableBegin = 5,  // table format, rows, columns; cells follow
    Cell = 6,        // row, column, row span, column span, cell format; contents follow
    TableEnd = 7,
    List = 8,        // list id, list format: defines a list before its first block
};

constexpr int kMaxNesting = 32;
constexpr qint64 kMaxTableCells = 2'000'000;

QByteArray streamed(const std::function<void(QDataStream &)> &fill)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    prepareStream(out);
    fill(out);
    return bytes;
}

// ---------------------------------------------------------------------------
// Writing

class DocumentEncoder
{
public:
    // `story`, when given, is encoded in place of the model's body (a header
    // or footer, kept as a document of its own inside the file). With a
    // `cache`, only the items of the text that changed are encoded.
    explicit DocumentEncoder(const DocumentModel &model, const QTextDocument *story = nullptr,
                             SegmentCache *cache = nullptr)
        : m_model(model), m_doc(story ? story : model.document()), m_cache(cache) {}

    QByteArray encode() { return encodeParts().assemble(); }

    EncodedParts encodeParts()
    {
        // The text first: it decides which formats are written, numbered in
        // the order the text uses them. Qt's format collection also holds
        // formats nothing uses any more (and how many depends on how far the
        // layout got), which must not change the file.
        const qint32 rootFormat = used(m_doc->rootFrame()->formatIndex());
        if (m_cache) {
            writeSegments();
        } else {
            NumberedBytes text;
            QDataStream out(&text.bytes, QIODevice::WriteOnly);
            prepareStream(out);
            writeItems(m_doc->rootFrame()->begin(), out);
            m_text.pieces.append(text);
        }

        struct
        {
            QList<Chunk> *list;
            void add(const char tag[4], const QByteArray &payload) { list->append({QByteArray(tag, 4), payload}); }
        } chunks {&m_parts.before};
        chunks.add("HEAD", streamed([](QDataStream &out) {
            out << NativeFilter::MajorVersion << NativeFilter::MinorVersion;
        }));
        chunks.add("PAGE", streamed([this](QDataStream &out) {
            const PageSetup &page = m_model.pageSetup();
            out << qint32(page.width) << qint32(page.height) << qint32(page.marginLeft)
                << qint32(page.marginTop) << qint32(page.marginRight) << qint32(page.marginBottom);
        }));
        chunks.add("DOCP", streamed([this, rootFormat](QDataStream &out) { writeDocumentProperties(out, rootFormat); }));
        chunks.add("SRCP", streamed([this](QDataStream &out) { writeSourceProperties(out); }));
        const QList<QTextFormat> formats = usedFormats();
        chunks.add("FMTS", streamed([this, &formats](QDataStream &out) {
            out << quint32(formats.size());
            for (const QTextFormat &format : formats)
                writeFormat(out, format);
        }));
        chunks.add("RSRC", streamed([this, &formats](QDataStream &out) { writeResources(out, formats); }));
        if (m_doc == m_model.document() && !m_model.headerFooters().isEmpty()) {
            chunks.add("HDFT", streamed([this](QDataStream &out) { writeHeaderFooters(out); }));
            if (m_model.headerFooters().sectionCount() > 1)
                chunks.add("HDSC", streamed([this](QDataStream &out) { writeSectionHeaderFooters(out); }));
        }
        m_parts.text = std::move(m_text);
        m_parts.text.fileNumbers = std::move(m_fileIndex);
        return std::move(m_parts);
    }

private:
    // Writes the text as the cache's segments: those no change touched as
    // they are, the others encoded again. A cache that does not fit the
    // document any more (which only a fault could cause) is rebuilt whole.
    void writeSegments()
    {
        std::vector<SegmentCache::Segment> &cached = m_cache->segments();
        std::vector<SegmentCache::Segment> segments;
        if (!cached.empty() && reuseSegments(cached, &segments)) {
            cached = std::move(segments);
        } else {
            m_fileIndex.clear();
            m_usedIndices.clear();
            m_listIds.clear();
            used(m_doc->rootFrame()->formatIndex());
            segments.clear();
            encodeRange(0, m_doc->characterCount(), &segments);
            cached = std::move(segments);
        }
        m_text.pieces.reserve(qsizetype(cached.size()));
        for (const SegmentCache::Segment &segment : cached)
            m_text.pieces.append(segment.records);
    }

    bool reuseSegments(std::vector<SegmentCache::Segment> &cached, std::vector<SegmentCache::Segment> *segments)
    {
        segments->reserve(cached.size() + 16);
        int position = 0;
        for (std::size_t i = 0; i < cached.size();) {
            SegmentCache::Segment &segment = cached[i];
            if (!segment.stale && !segment.hasLists) {
                if (segment.start != position)
                    return false;
                for (int index : std::as_const(segment.records.indices))
                    used(index);
                position = segment.end;
                segments->push_back(std::move(segment));
                ++i;
                continue;
            }
            // A run of touched items, from the first one's start (never
            // moved by the change) to the next untouched one.
            if (segment.start != position)
                return false;
            int end = segment.end;
            for (; i < cached.size() && (cached[i].stale || cached[i].hasLists); ++i)
                end = std::max(end, cached[i].end);
            if (i < cached.size())
                end = cached[i].start;
            if (!encodeRange(position, end, segments))
                return false;
            position = end;
        }
        return position == m_doc->characterCount();
    }

    // Encodes the items of the root frame from `start` up to `end`, both
    // item boundaries, as segments.
    bool encodeRange(int start, int end, std::vector<SegmentCache::Segment> *segments)
    {
        QTextFrame *root = m_doc->rootFrame();
        int position = start;
        while (position < end) {
            QTextFrame *frame = m_doc->frameAt(position);
            while (frame && frame != root && frame->parentFrame() != root)
                frame = frame->parentFrame();
            if (!frame)
                return false;
            SegmentCache::Segment segment;
            QDataStream out(&segment.records.bytes, QIODevice::WriteOnly);
            prepareStream(out);
            m_numbered = &segment.records;
            m_sawList = false;
            if (frame == root) {
                const QTextBlock block = m_doc->findBlock(position);
                if (!block.isValid() || block.position() != position)
                    return false;
                writeBlock(block, out);
                segment.end = position + block.length();
            } else {
                if (frame->firstPosition() != position)
                    return false;
                writeFrame(frame, out);
                segment.end = frame->lastPosition() + 1;
            }
            m_numbered = nullptr;
            segment.start = position;
            segment.hasLists = m_sawList;
            for (int index : std::as_const(segment.records.indices))
                used(index);
            position = segment.end;
            segments->push_back(std::move(segment));
        }
        return position == end;
    }

    // The number written for the document's format `index`: the file's, or
    // while encoding a segment the index itself, numbered when assembled.
    qint32 number(QDataStream &out, int index)
    {
        if (!m_numbered)
            return used(index);
        m_numbered->offsets.append(qint32(out.device()->pos()));
        m_numbered->indices.append(index);
        return index;
    }

    // The number the file gives the document's format `index`.
    qint32 used(int index)
    {
        if (index < 0)
            return -1;
        const auto known = m_fileIndex.constFind(index);
        if (known != m_fileIndex.cend())
            return *known;
        const qint32 number = qint32(m_usedIndices.size());
        m_fileIndex.insert(index, number);
        m_usedIndices.append(index);
        return number;
    }

    QList<QTextFormat> usedFormats() const
    {
        const QList<QTextFormat> all = m_doc->allFormats();
        QList<QTextFormat> formats;
        formats.reserve(m_usedIndices.size());
        for (int index : m_usedIndices)
            formats.append(all.value(index));
        return formats;
    }

    void writeDocumentProperties(QDataStream &out, qint32 rootFormat)
    {
        out << rootFormat << m_doc->defaultFont().toString()
            << double(m_doc->documentMargin()) << double(m_doc->indentWidth())
            << m_doc->metaInformation(QTextDocument::DocumentTitle);
    }

    // Which pages differ, the bands' distances from the paper's edge, then
    // every story as a native document of its own.
    void writeHeaderFooters(QDataStream &out)
    {
        const HeaderFooterSet &set = m_model.headerFooters();
        const quint8 flags = (set.differentFirstPage() ? 1 : 0) | (set.differentEvenPages() ? 2 : 0);
        out << flags << qint32(m_model.pageSetup().headerDistance) << qint32(m_model.pageSetup().footerDistance);
        writeStories(out, 0);
    }

    // The later sections that hold stories or a first page of their own:
    // each with its number, whether its first page differs, its stories.
    void writeSectionHeaderFooters(QDataStream &out)
    {
        const HeaderFooterSet &set = m_model.headerFooters();
        QList<int> sections;
        for (int section = 1; section < set.sectionCount(); ++section) {
            if (set.differentFirstPage(section) || hasStories(set, section))
                sections.append(section);
        }
        out << quint32(sections.size());
        for (const int section : std::as_const(sections)) {
            out << quint32(section) << quint8(set.differentFirstPage(section) ? 1 : 0);
            writeStories(out, section);
        }
    }

    static bool hasStories(const HeaderFooterSet &set, int section)
    {
        for (const HeaderFooterKind kind : {HeaderFooterKind::Header, HeaderFooterKind::Footer}) {
            for (const HeaderFooterPages pages :
                 {HeaderFooterPages::Default, HeaderFooterPages::First, HeaderFooterPages::Even}) {
                if (set.story(kind, pages, section))
                    return true;
            }
        }
        return false;
    }

    // A section's own stories, each as a native document of its own.
    void writeStories(QDataStream &out, int section)
    {
        const HeaderFooterSet &set = m_model.headerFooters();
        QList<QPair<quint8, QByteArray>> stories;
        for (const HeaderFooterKind kind : {HeaderFooterKind::Header, HeaderFooterKind::Footer}) {
            for (const HeaderFooterPages pages :
                 {HeaderFooterPages::Default, HeaderFooterPages::First, HeaderFooterPages::Even}) {
                if (const QTextDocument *story = set.story(kind, pages, section)) {
                    const DocumentModel blank;
                    stories.append({quint8(int(kind) << 4 | int(pages)), DocumentEncoder(blank, story).encode()});
                }
            }
        }
        out << quint32(stories.size());
        for (const auto &[where, bytes] : std::as_const(stories))
            out << where << bytes;
    }

    void writeSourceProperties(QDataStream &out)
    {
        QByteArray entries;
        quint32 count = 0;
        {
            QDataStream body(&entries, QIODevice::WriteOnly);
            prepareStream(body);
            for (const QString &key : m_model.sourcePropertyKeys()) {
                QByteArray value;
                QDataStream valueStream(&value, QIODevice::WriteOnly);
                prepareStream(valueStream);
                if (!writeValue(valueStream, m_model.sourceProperty(key)))
                    continue; // a type the format cannot hold
                body << key;
                body.writeRawData(value.constData(), value.size());
                ++count;
            }
        }
        out << count;
        out.writeRawData(entries.constData(), entries.size());
    }


    // Pictures whose bytes are not already kept in their format: stored once
    // by name as PNG.
    void writeResources(QDataStream &out, const QList<QTextFormat> &formats)
    {
        QList<QPair<QString, QByteArray>> resources;
        QSet<QString> seen;
        for (const QTextFormat &format : formats) {
            if (!format.isImageFormat())
                continue;
            const QTextImageFormat image = format.toImageFormat();
            if (image.hasProperty(ImageOriginalData) || image.hasProperty(ImageLinkedPath) || isEmbeddedObject(image)
                || seen.contains(image.name()))
                continue;
            seen.insert(image.name());
            const QImage pixels = resourceImage(m_doc, image.name());
            if (pixels.isNull())
                continue;
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            pixels.save(&buffer, "PNG");
            resources.append({image.name(), png});
        }
        out << quint32(resources.size());
        for (const auto &[name, bytes] : std::as_const(resources))
            out << name << bytes;
    }

    void writeItems(QTextFrame::iterator it, QDataStream &out)
    {
        for (; !it.atEnd(); ++it) {
            if (QTextFrame *child = it.currentFrame()) {
                writeFrame(child, out);
            } else {
                writeBlock(it.currentBlock(), out);
            }
        }
    }

    void writeFrame(QTextFrame *frame, QDataStream &out)
    {
        if (auto *table = qobject_cast<QTextTable *>(frame)) {
            writeTable(table, out);
        } else {
            out << quint8(Op::FrameBegin) << number(out, frame->formatIndex());
            writeItems(frame->begin(), out);
            out << quint8(Op::FrameEnd);
        }
    }

    void writeTable(QTextTable *table, QDataStream &out)
    {
        out << quint8(Op::TableBegin) << number(out, table->formatIndex()) << qint32(table->rows())
            << qint32(table->columns());
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                if (cell.row() != row || cell.column() != column)
                    continue; // covered by a merged cell
                out << quint8(Op::Cell) << qint32(row) << qint32(column) << qint32(cell.rowSpan())
                    << qint32(cell.columnSpan()) << number(out, cell.tableCellFormatIndex());
                writeItems(cell.begin(), out);
            }
        }
        out << quint8(Op::TableEnd);
    }

    void writeBlock(const QTextBlock &block, QDataStream &out)
    {
        qint32 listId = -1;
        if (QTextList *list = block.textList()) {
            m_sawList = true;
            listId = m_listIds.value(list, -1);
            if (listId < 0) {
                listId = qint32(m_listIds.size());
                m_listIds.insert(list, listId);
                out << quint8(Op::List) << listId << number(out, list->formatIndex());
            }
        }
        out << quint8(Op::Block);
        out << number(out, block.blockFormatIndex());
        out << number(out, block.charFormatIndex()) << listId;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                out << quint8(Op::Fragment) << number(out, fragment.charFormatIndex()) << fragment.text();
        }
    }

    const DocumentModel &m_model;
    const QTextDocument *m_doc;
    SegmentCache *m_cache;
    NumberedBytes *m_numbered = nullptr;   // the segment being encoded
    bool m_sawList = false;
    EncodedParts m_parts;
    TextPieces m_text;
    QHash<const QTextList *, qint32> m_listIds;
    QHash<int, qint32> m_fileIndex;   // document format index -> file's
    QList<int> m_usedIndices;         // in the file's order
};

// ---------------------------------------------------------------------------
// Reading

class DocumentDecoder
{
public:
    // A story (`isStory`) is a header or footer inside a file; it holds no
    // stories of its own.
    explicit DocumentDecoder(DocumentModel &model, bool isStory = false)
        : m_model(model), m_doc(model.document()), m_isStory(isStory) {}

    bool decode(const QByteArray &bytes, QString *error)
    {
        QList<Chunk> chunks;
        if (!ChunkReader().split(bytes, &chunks, error))
            return false;
        if (chunks.isEmpty() || chunks.first().tag != "HEAD")
            return fail(error, QStringLiteral("Not a tamapiko document: the header chunk is missing."));

        const Chunk *text = nullptr;
        for (const Chunk &chunk : std::as_const(chunks)) {
            if (chunk.tag == "TEXT")
                text = &chunk;
        }
        if (!readChunk(chunks.first(), error))
            return false;
        if (!text)
            return fail(error, QStringLiteral("The document is damaged: it has no text chunk."));
        m_textBytes = text->payload.size();

        // Everything is checked and the version is one we read: only now is
        // the open document replaced.
        m_model.clear();
        m_doc->setUndoRedoEnabled(false);
        m_cursor = QTextCursor(m_doc);
        m_cursor.beginEditBlock();
        bool ok = true;
        for (const Chunk &chunk : std::as_const(chunks)) {
            if (chunk.tag != "HEAD" && chunk.tag != "TEXT" && !readChunk(chunk, error)) {
                ok = false;
                break;
            }
        }
        if (ok)
            ok = readChunk(*text, error);
        m_cursor.endEditBlock();
        m_doc->setUndoRedoEnabled(true);
        if (!ok)
            m_model.clear();
        return ok;
    }

private:
    static bool fail(QString *error, const QString &reason)
    {
        if (error)
            *error = reason;
        return false;
    }

    bool damaged(QString *error, const QByteArray &tag)
    {
        return fail(error, QStringLiteral("The document is damaged: chunk %1 does not decode.")
                               .arg(QString::fromLatin1(tag)));
    }

    bool readChunk(const Chunk &chunk, QString *error)
    {
        QDataStream in(chunk.payload);
        prepareStream(in);
        bool ok = true;
        if (chunk.tag == "HEAD")
            return readHeader(in, error);
        if (chunk.tag == "PAGE")
            ok = readPage(in);
        else if (chunk.tag == "DOCP")
            readDocumentProperties(in);
        else if (chunk.tag == "SRCP")
            readSourceProperties(in);
        else if (chunk.tag == "FMTS")
            ok = readFormats(in);
        else if (chunk.tag == "RSRC")
            readResources(in);
        else if (chunk.tag == "TEXT")
            ok = readText(in);
        else if (chunk.tag == "HDFT" && !m_isStory)
            ok = readHeaderFooters(in);
        else if (chunk.tag == "HDSC" && !m_isStory)
            ok = readSectionHeaderFooters(in);
        else
            return true; // a later version's chunk: skipped
        if (!ok || in.status() != QDataStream::Ok)
            return damaged(error, chunk.tag);
        return true;
    }

    bool readHeader(QDataStream &in, QString *error)
    {
        quint16 major = 0;
        quint16 minor = 0;
        in >> major >> minor;
        if (in.status() != QDataStream::Ok)
            return damaged(error, "HEAD");
        if (major > NativeFilter::MajorVersion)
            return fail(error, QStringLiteral("The document was written by a newer version of the program "
                                              "(format %1.%2); this version reads format %3.x.")
                                   .arg(major)
                                   .arg(minor)
                                   .arg(NativeFilter::MajorVersion));
        return true;
    }

    bool readPage(QDataStream &in)
    {
        qint32 values[6] = {};
        for (qint32 &value : values)
            in >> value;
        PageSetup page;
        page.width = values[0];
        page.height = values[1];
        page.marginLeft = values[2];
        page.marginTop = values[3];
        page.marginRight = values[4];
        page.marginBottom = values[5];
        // Summed in 64 bits: damaged values must not overflow the check.
        const bool sane = page.width > 0 && page.height > 0 && page.marginLeft >= 0 && page.marginTop >= 0
            && page.marginRight >= 0 && page.marginBottom >= 0
            && qint64(page.marginLeft) + page.marginRight < page.width
            && qint64(page.marginTop) + page.marginBottom < page.height;
        if (sane)
            m_model.setPageSetup(page);
        return sane;
    }

    bool readHeaderFooters(QDataStream &in)
    {
        quint8 flags = 0;
        qint32 headerDistance = 0;
        qint32 footerDistance = 0;
        in >> flags >> headerDistance >> footerDistance;
        if (in.status() != QDataStream::Ok)
            return false;
        PageSetup page = m_model.pageSetup();
        page.headerDistance = std::clamp<qint32>(headerDistance, 0, PageSetup::LargestTwips);
        page.footerDistance = std::clamp<qint32>(footerDistance, 0, PageSetup::LargestTwips);
        m_model.setPageSetup(page);
        HeaderFooterSet &set = m_model.headerFooters();
        set.setDifferentFirstPage(flags & 1);
        set.setDifferentEvenPages(flags & 2);
        return readStories(in, 0);
    }

    bool readSectionHeaderFooters(QDataStream &in)
    {
        quint32 count = 0;
        in >> count;
        quint32 previous = 0;
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            quint32 section = 0;
            quint8 flags = 0;
            in >> section >> flags;
            // In order, and no more sections than the text could have
            // paragraphs (the text is read last).
            if (in.status() != QDataStream::Ok || section <= previous || section >= quint64(m_textBytes))
                return false;
            previous = section;
            m_model.headerFooters().setDifferentFirstPage(flags & 1, int(section));
            if (!readStories(in, int(section)))
                return false;
        }
        return in.status() == QDataStream::Ok;
    }

    bool readStories(QDataStream &in, int section)
    {
        quint32 count = 0;
        in >> count;
        if (in.status() != QDataStream::Ok || count > 6)
            return false;
        HeaderFooterSet &set = m_model.headerFooters();
        for (quint32 i = 0; i < count; ++i) {
            quint8 where = 0;
            QByteArray bytes;
            in >> where >> bytes;
            const int kind = where >> 4;
            const int pages = where & 0xF;
            if (in.status() != QDataStream::Ok || kind > 1 || pages > 2)
                return false;
            DocumentModel story;
            QString storyError;
            if (!DocumentDecoder(story, true).decode(bytes, &storyError))
                return false;
            set.adoptStory(HeaderFooterKind(kind), HeaderFooterPages(pages), story.document()->clone(), section);
        }
        return true;
    }

    void readDocumentProperties(QDataStream &in)
    {
        qint32 rootFormat = -1;
        QString font;
        double margin = 0;
        double indent = 0;
        QString title;
        in >> rootFormat >> font >> margin >> indent >> title;
        if (in.status() != QDataStream::Ok)
            return;
        m_rootFormat = rootFormat;
        QFont defaultFont;
        if (defaultFont.fromString(font))
            m_doc->setDefaultFont(defaultFont);
        if (margin >= 0 && margin < 1e4)
            m_doc->setDocumentMargin(margin);
        if (indent > 0 && indent < 1e4)
            m_doc->setIndentWidth(indent);
        m_doc->setMetaInformation(QTextDocument::DocumentTitle, title);
    }

    void readSourceProperties(QDataStream &in)
    {
        quint32 count = 0;
        in >> count;
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            QString key;
            in >> key;
            const QVariant value = readValue(in);
            if (in.status() == QDataStream::Ok)
                m_model.setSourceProperty(key, value);
        }
    }

    bool readFormats(QDataStream &in)
    {
        quint32 count = 0;
        in >> count;
        if (qint64(count) * 8 > in.device()->bytesAvailable())
            return false;
        m_formats.reserve(count);
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
            m_formats.append(readFormat(in));
        if (m_rootFormat >= 0 && m_rootFormat < m_formats.size() && m_formats.at(m_rootFormat).isFrameFormat())
            m_doc->rootFrame()->setFrameFormat(m_formats.at(m_rootFormat).toFrameFormat());
        restorePictures();
        return in.status() == QDataStream::Ok;
    }

    // Embedded pictures and objects carry their file bytes in their format;
    // linked pictures are loaded from their path, or shown as a placeholder
    // of their size when the file is not there.
    void restorePictures()
    {
        for (const QTextFormat &format : std::as_const(m_formats)) {
            if (!format.isImageFormat())
                continue;
            const QTextImageFormat image = format.toImageFormat();
            const QUrl name(image.name());
            if (!m_doc->resource(QTextDocument::ImageResource, name).isNull())
                continue;
            const QImage pixels = imageForFormat(image);
            if (!pixels.isNull())
                m_doc->addResource(QTextDocument::ImageResource, name, pixels);
        }
    }

    void readResources(QDataStream &in)
    {
        quint32 count = 0;
        in >> count;
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            QString name;
            QByteArray bytes;
            in >> name >> bytes;
            const QImage pixels = QImage::fromData(bytes, "PNG");
            if (in.status() == QDataStream::Ok && !pixels.isNull())
                m_doc->addResource(QTextDocument::ImageResource, QUrl(name), pixels);
        }
    }

    // --- the TEXT chunk

    template<typename Format>
    bool formatAt(qint32 index, Format *format, bool (QTextFormat::*is)() const) const
    {
        if (index < 0 || index >= m_formats.size() || !(m_formats.at(index).*is)())
            return false;
        *format = static_cast<const Format &>(m_formats.at(index));
        return true;
    }

    bool readText(QDataStream &in)
    {
        m_cursor.setPosition(0);
        // All tables together get as many cells as the text has bytes (and a
        // few thousand more for small files): a cell record takes 21 bytes,
        // so only merged cells can need more, and a file can never make the
        // reader build more than it is long.
        m_cellBudget = 4096 + in.device()->size();
        Op end = Op::FrameEnd;
        return readItems(in, 0, &end) && in.atEnd();
    }

    // Reads a frame's or a cell's contents up to the record that ends them
    // (which is left unread for the caller except at the end of the data).
    bool readItems(QDataStream &in, int depth, Op *terminator)
    {
        if (depth > kMaxNesting)
            return false;
        bool freshBlock = true; // the cursor sits in an empty block Qt made for us
        while (!in.atEnd()) {
            quint8 op = 0;
            in >> op;
            switch (Op(op)) {
            case Op::List: {
                qint32 id = -1;
                qint32 formatIndex = -1;
                in >> id >> formatIndex;
                QTextFormat format;
                if (id != m_listFormats.size() || !formatAt(formatIndex, &format, &QTextFormat::isListFormat))
                    return false; // lists are numbered in order of appearance
                m_listFormats.append(format.toListFormat());
                m_lists.append(nullptr);
                break;
            }
            case Op::Block: {
                qint32 blockIndex = -1;
                qint32 charIndex = -1;
                qint32 listId = -1;
                in >> blockIndex >> charIndex >> listId;
                QTextFormat block;
                QTextFormat chars;
                if (!formatAt(blockIndex, &block, &QTextFormat::isBlockFormat)
                    || !formatAt(charIndex, &chars, &QTextFormat::isCharFormat) || listId < -1
                    || listId >= m_lists.size())
                    return false;
                if (freshBlock) {
                    m_cursor.setBlockFormat(block.toBlockFormat());
                    m_cursor.setBlockCharFormat(chars.toCharFormat());
                } else {
                    m_cursor.insertBlock(block.toBlockFormat(), chars.toCharFormat());
                }
                if (listId >= 0) {
                    if (QTextList *list = m_lists.at(listId))
                        list->add(m_cursor.block());
                    else
                        m_lists[listId] = m_cursor.createList(m_listFormats.at(listId));
                }
                freshBlock = false;
                break;
            }
            case Op::Fragment: {
                qint32 charIndex = -1;
                QString text;
                in >> charIndex >> text;
                QTextFormat chars;
                if (!formatAt(charIndex, &chars, &QTextFormat::isCharFormat) || in.status() != QDataStream::Ok)
                    return false;
                m_cursor.insertText(text, chars.toCharFormat());
                freshBlock = false;
                break;
            }
            case Op::FrameBegin: {
                qint32 frameIndex = -1;
                in >> frameIndex;
                QTextFormat frame;
                if (!formatAt(frameIndex, &frame, &QTextFormat::isFrameFormat) || frame.isTableFormat()
                    || frame.isTableCellFormat())
                    return false;
                QTextFrame *inserted = m_cursor.insertFrame(frame.toFrameFormat());
                Op end = Op::Block;
                if (!readItems(in, depth + 1, &end) || end != Op::FrameEnd)
                    return false;
                m_cursor.setPosition(inserted->lastPosition() + 1);
                freshBlock = true;
                break;
            }
            case Op::TableBegin:
                if (!readTable(in, depth))
                    return false;
                freshBlock = true;
                break;
            case Op::FrameEnd:
            case Op::Cell:
            case Op::TableEnd:
                *terminator = Op(op);
                return depth > 0 && in.status() == QDataStream::Ok;
            default:
                return false;
            }
            if (in.status() != QDataStream::Ok)
                return false;
        }
        return depth == 0;
    }

    bool readTable(QDataStream &in, int depth)
    {
        qint32 tableIndex = -1;
        qint32 rows = 0;
        qint32 columns = 0;
        in >> tableIndex >> rows >> columns;
        QTextFormat format;
        if (!formatAt(tableIndex, &format, &QTextFormat::isTableFormat) || rows < 1 || columns < 1)
            return false;
        // More cells than the data could plausibly describe are damage, not
        // a reason to allocate.
        const qint64 cells = qint64(rows) * columns;
        if (cells > kMaxTableCells || cells > m_cellBudget)
            return false;
        m_cellBudget -= cells;
        QTextTable *table = m_cursor.insertTable(rows, columns, format.toTableFormat());

        quint8 op = 0;
        in >> op;
        while (Op(op) == Op::Cell) {
            qint32 row = -1, column = -1, rowSpan = 0, columnSpan = 0, cellIndex = -1;
            in >> row >> column >> rowSpan >> columnSpan >> cellIndex;
            QTextFormat cellFormat;
            if (in.status() != QDataStream::Ok || row < 0 || row >= rows || column < 0 || column >= columns
                || rowSpan < 1 || columnSpan < 1 || rowSpan > rows - row || columnSpan > columns - column
                || !formatAt(cellIndex, &cellFormat, &QTextFormat::isCharFormat))
                return false;
            QTextTableCell cell = table->cellAt(row, column);
            if (cell.row() != row || cell.column() != column)
                return false; // inside a cell merged earlier
            if (rowSpan > 1 || columnSpan > 1)
                table->mergeCells(row, column, rowSpan, columnSpan);
            cell = table->cellAt(row, column);
            cell.setFormat(cellFormat.toCharFormat());
            m_cursor = cell.firstCursorPosition();
            Op end = Op::Block;
            if (!readItems(in, depth + 1, &end))
                return false;
            op = quint8(end);
        }
        if (Op(op) != Op::TableEnd)
            return false;
        m_cursor.setPosition(table->lastPosition() + 1);
        return true;
    }

    DocumentModel &m_model;
    QTextDocument *m_doc;
    QTextCursor m_cursor;
    QList<QTextFormat> m_formats;
    QList<QTextListFormat> m_listFormats;
    QList<QTextList *> m_lists;
    qint32 m_rootFormat = -1;
    qint64 m_cellBudget = 0;
    bool m_isStory = false;
    qsizetype m_textBytes = 0;      // of the text chunk: bounds what other chunks may claim
};

} // namespace

namespace native {

EncodedParts encodeParts(const DocumentModel &model, SegmentCache *cache)
{
    return DocumentEncoder(model, nullptr, cache).encodeParts();
}

} // namespace native

QByteArray NativeFilter::encode(const DocumentModel &model)
{
    return DocumentEncoder(model).encode();
}

bool NativeFilter::decode(const QByteArray &bytes, DocumentModel &model, QString *error)
{
    return DocumentDecoder(model).decode(bytes, error);
}

bool NativeFilter::read(QIODevice &in, DocumentModel &model, const FilterContext &, QString *error)
{
    const QByteArray bytes = in.readAll();
    return decode(bytes, model, error);
}

bool NativeFilter::write(QIODevice &out, const DocumentModel &model, const FilterContext &, QString *error)
{
    const QByteArray bytes = encode(model);
    if (out.write(bytes) != bytes.size()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace tamapiko::engine
