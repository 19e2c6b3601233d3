#include "engine/formats/PlainTextFilter.h"

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/TablePlaceholder.h"
#include "engine/formats/TextCodec.h"
#include "engine/layout/ListNumbering.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>

namespace tamapiko::engine {

namespace {

const QString EncodingKey = QStringLiteral("text/encoding");
const QString BomKey = QStringLiteral("text/bom");
const QString LineEndKey = QStringLiteral("text/lineEnd");
const QString InvalidSequencesKey = QStringLiteral("text/invalidSequences");

const QString DefaultLineEnd = QStringLiteral("\n");

// How long a stream may stay silent before reading it counts as finished.
constexpr int StreamTimeoutMs = 30000;

// Larger than any text a word processor should hold; refusing it beats
// exhausting memory.
constexpr qint64 MaximumFileSize = qint64(256) * 1024 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("PlainTextFilter", text);
}

// The most frequent line end; a tie goes to CRLF, then LF.
QString dominantLineEnd(QStringView text)
{
    qsizetype crlf = 0, lf = 0, cr = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (c == u'\n') {
            ++lf;
        }
    }
    if (crlf == 0 && lf == 0 && cr == 0)
        return QString();
    if (crlf >= lf && crlf >= cr)
        return QStringLiteral("\r\n");
    if (lf >= cr)
        return QStringLiteral("\n");
    return QStringLiteral("\r");
}

bool isObject(const QTextCharFormat &format)
{
    return format.isImageFormat() || format.objectType() != QTextFormat::NoObject;
}

class TextWriter
{
public:
    explicit TextWriter(const QString &lineEnd)
        : m_lineEnd(lineEnd)
    {
    }

    QString text(const QTextDocument &document)
    {
        writeFrame(document.rootFrame());
        return m_lines.join(m_lineEnd);
    }

private:
    QString blockText(const QTextBlock &block) const
    {
        QString text = listLabel(block);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            // Hidden text is not part of the text a reader sees.
            if (!fragment.isValid() || isObject(fragment.charFormat())
                || fragment.charFormat().boolProperty(CharHidden))
                continue;
            text += fragment.text();
        }
        text.replace(QChar::LineSeparator, m_lineEnd);
        return text;
    }

    // A list item's number or bullet, as the reader sees it on the page:
    // indented four blanks a level, a blank before the text.
    static QString listLabel(const QTextBlock &block)
    {
        const QString item = ListNumbering::itemText(block);
        if (item.isEmpty())
            return item;
        const int level = std::max(1, block.textList()->format().indent());
        return QString(4 * level, u' ') + item + u' ';
    }

    void writeFrame(QTextFrame *frame)
    {
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            if (QTextFrame *child = it.currentFrame()) {
                if (auto *table = qobject_cast<QTextTable *>(child))
                    writeTable(table);
                else
                    writeFrame(child);
            } else if (!isTablePlaceholder(it.currentBlock())) {
                m_lines.append(blockText(it.currentBlock()));
            }
        }
    }

    // A cell's own paragraphs are joined with blanks so that the table's
    // tab-and-line structure survives.
    QString cellText(const QTextTableCell &cell) const
    {
        QStringList paragraphs;
        for (auto it = cell.begin(); !it.atEnd(); ++it) {
            if (QTextFrame *child = it.currentFrame()) {
                TextWriter nested(QStringLiteral(" "));
                paragraphs.append(nested.frameText(child));
            } else {
                paragraphs.append(blockText(it.currentBlock()).replace(m_lineEnd, QStringLiteral(" ")));
            }
        }
        return paragraphs.join(u' ');
    }

    QString frameText(QTextFrame *frame)
    {
        writeFrame(frame);
        return m_lines.join(m_lineEnd);
    }

    void writeTable(QTextTable *table)
    {
        for (int row = 0; row < table->rows(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                // A merged cell's text goes once, at its top-left corner.
                if (cell.row() != row || cell.column() != column)
                    cells.append(QString());
                else
                    cells.append(cellText(cell));
            }
            m_lines.append(cells.join(u'\t'));
        }
    }

    QString m_lineEnd;
    QStringList m_lines;
};

} // namespace

QString PlainTextFilter::name() const
{
    return QStringLiteral("Text");
}

int PlainTextFilter::sniff(QByteArrayView head) const
{
    // Every file is some text; only a Word document under a text name is not.
    return head.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")) ? 0 : 1;
}

bool PlainTextFilter::read(QIODevice &in, DocumentModel &model, const FilterContext &, QString *error)
{
    if (!in.isReadable()) {
        if (error)
            *error = in.errorString().isEmpty() ? tr("The file cannot be read.") : in.errorString();
        return false;
    }
    // A file's size is known before reading; a stream is read in pieces
    // until it ends or passes the limit.
    if (!in.isSequential() && in.size() - in.pos() > MaximumFileSize) {
        if (error)
            *error = tr("The file is too large to open as text.");
        return false;
    }
    QByteArray bytes;
    if (!in.isSequential()) {
        bytes = in.readAll();
    } else {
        constexpr qint64 Piece = 64 * 1024;
        while (bytes.size() <= MaximumFileSize) {
            const QByteArray piece = in.read(Piece);
            if (piece.isEmpty() && (in.atEnd() || !in.waitForReadyRead(StreamTimeoutMs)))
                break;
            bytes += piece;
        }
    }
    if (bytes.size() > MaximumFileSize) {
        if (error)
            *error = tr("The file is too large to open as text.");
        return false;
    }

    const DecodedText decoded = TextCodec::decode(bytes);
    const QString lineEnd = dominantLineEnd(decoded.text);

    // One insertion for the whole text: the cursor turns CR, LF and CRLF
    // into paragraph breaks itself, and one edit is far faster than one per
    // line on a long file. Loading is not an edit the user can undo.
    QTextDocument *document = model.document();
    const bool undoEnabled = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.select(QTextCursor::Document);
    cursor.insertText(decoded.text, QTextCharFormat());
    document->setUndoRedoEnabled(undoEnabled);
    document->setModified(false);

    model.setSourceProperty(EncodingKey, TextCodec::name(decoded.encoding));
    model.setSourceProperty(BomKey, decoded.bom);
    model.setSourceProperty(LineEndKey, lineEnd.isEmpty() ? DefaultLineEnd : lineEnd);
    model.setSourceProperty(InvalidSequencesKey, decoded.invalidSequences);
    return true;
}

bool PlainTextFilter::write(QIODevice &out, const DocumentModel &model, const FilterContext &, QString *error)
{
    const std::optional<TextEncoding> sourceEncoding =
        TextCodec::fromName(model.sourceProperty(EncodingKey).toString());
    const TextEncoding encoding = sourceEncoding.value_or(TextEncoding::Utf8);
    const bool bom = sourceEncoding && model.sourceProperty(BomKey).toBool();
    QString lineEnd = model.sourceProperty(LineEndKey).toString();
    if (lineEnd != u"\r\n" && lineEnd != u"\n" && lineEnd != u"\r")
        lineEnd = DefaultLineEnd;

    const QString text = documentText(*model.document(), lineEnd);
    std::optional<QByteArray> encoded = TextCodec::encode(text, encoding, bom);
    // Some character has no code there: UTF-8 holds every character (an
    // unpaired surrogate, which no encoding holds, becomes U+FFFD).
    const QByteArray bytes = encoded ? *std::move(encoded) : QStringEncoder(QStringConverter::Utf8).encode(text);
    if (out.write(bytes) != bytes.size()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

QString PlainTextFilter::documentText(const QTextDocument &document, const QString &lineEnd)
{
    return TextWriter(lineEnd).text(document);
}

static const FilterRegistration<PlainTextFilter> registration;

} // namespace tamapiko::engine
