#include "printing/PdfTextRuns.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QVarLengthArray>

#include <charconv>

#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace tamapiko::printing {

namespace {

using Widths = QHash<int, int>;   // glyph (CID) → advance in 1/1000 em

// The byte offset of every object, from the file's cross-reference table
// (one section, as Qt writes it); empty when it is not there as expected.
std::map<int, qint64> objectOffsets(const QByteArray &pdf, qint64 *xrefOffset, int *count)
{
    const qsizetype start = pdf.lastIndexOf("startxref");
    if (start < 0)
        return {};
    bool ok = false;
    *xrefOffset = pdf.mid(start + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || *xrefOffset <= 0 || *xrefOffset >= pdf.size() || !pdf.mid(*xrefOffset).startsWith("xref\n"))
        return {};
    qsizetype line = *xrefOffset + 5;
    const qsizetype headerEnd = pdf.indexOf('\n', line);
    const QList<QByteArray> header = pdf.mid(line, headerEnd - line).trimmed().split(' ');
    if (header.size() != 2 || header[0] != "0")
        return {};
    *count = header[1].toInt(&ok);
    if (!ok || headerEnd + 1 + qsizetype(*count) * 20 > pdf.size())
        return {};
    std::map<int, qint64> offsets;
    for (int object = 0; object < *count; ++object) {
        const QByteArray entry = pdf.mid(headerEnd + 1 + qsizetype(object) * 20, 20);
        if (entry.size() != 20 || (entry[17] != 'n' && entry[17] != 'f'))
            return {};
        if (entry[17] == 'n')
            offsets[object] = entry.left(10).toLongLong();
    }
    return offsets;
}

// The widths array of a CID font: "c [w w ...]" and "c1 c2 w" entries.
Widths parseWidths(const QByteArray &object)
{
    Widths widths;
    const qsizetype at = object.indexOf("/W [");
    if (at < 0)
        return widths;
    QList<QByteArray> tokens;
    int depth = 0;
    QByteArray token;
    for (qsizetype i = at + 3; i < object.size(); ++i) {
        const char c = object[i];
        if (c == '[' || c == ']') {
            if (!token.isEmpty())
                tokens.append(std::exchange(token, {}));
            tokens.append(QByteArray(1, c));
            depth += c == '[' ? 1 : -1;
            if (depth == 0)
                break;
        } else if (c == ' ' || c == '\n' || c == '\r') {
            if (!token.isEmpty())
                tokens.append(std::exchange(token, {}));
        } else {
            token.append(c);
        }
    }
    // tokens: [ c [ w ... ] c1 c2 w ... ]
    for (qsizetype i = 1; i + 1 < tokens.size();) {
        const int first = tokens[i].toInt();
        if (tokens[i + 1] == "[") {
            qsizetype j = i + 2;
            int cid = first;
            for (; j < tokens.size() && tokens[j] != "]"; ++j)
                widths.insert(cid++, qRound(tokens[j].toDouble()));
            i = j + 1;
        } else if (i + 2 < tokens.size()) {
            const int last = tokens[i + 1].toInt();
            const int width = qRound(tokens[i + 2].toDouble());
            for (int cid = first; cid <= last && cid - first < 65536; ++cid)
                widths.insert(cid, width);
            i += 3;
        } else {
            break;
        }
    }
    return widths;
}

QByteArray number(double value)
{
    QByteArray text = QByteArray::number(std::round(value * 1000) / 1000, 'f', 3);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArrayLiteral("0") : text;
}

struct GlyphPlacement
{
    double dx = 0;
    double dy = 0;
    int glyph = 0;
    QByteArray hex;
};

using Lines = std::vector<QByteArrayView>;

// The lines of a content stream, as views into it.
Lines splitLines(const QByteArray &content)
{
    Lines lines;
    lines.reserve(content.size() / 16);
    qsizetype from = 0;
    while (true) {
        const qsizetype end = content.indexOf('\n', from);
        if (end < 0) {
            lines.push_back(QByteArrayView(content).sliced(from));
            return lines;
        }
        lines.push_back(QByteArrayView(content).sliced(from, end - from));
        from = end + 1;
    }
}

// The space-separated words of a line, as views into it.
QVarLengthArray<QByteArrayView, 12> words(QByteArrayView line)
{
    QVarLengthArray<QByteArrayView, 12> result;
    qsizetype from = 0;
    while (from < line.size()) {
        qsizetype to = from;
        while (to < line.size() && line[to] != ' ')
            ++to;
        if (to > from)
            result.append(line.sliced(from, to - from));
        from = to + 1;
    }
    return result;
}

std::optional<double> toNumber(QByteArrayView text)
{
    double value = 0;
    const char *begin = text.data();
    // from_chars does not take a leading '+' or a bare leading '.'.
    QByteArray copy;
    if (!text.isEmpty() && (text[0] == '.' || (text.size() > 1 && text[0] == '-' && text[1] == '.'))) {
        copy = text.toByteArray();
        copy.insert(text[0] == '-' ? 1 : 0, '0');
        begin = copy.constData();
    }
    const char *end = copy.isEmpty() ? text.data() + text.size() : copy.constData() + copy.size();
    const auto [ptr, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

// One text object ("BT" ... "ET" lines, without them) as runs of glyphs;
// nothing when it holds anything but a font, the matrix and placed glyphs.
std::optional<QByteArray> textObjectAsRuns(const Lines &lines, size_t first, size_t end,
                                           const QHash<QByteArray, const Widths *> &fonts)
{
    if (end < first + 2)
        return std::nullopt;
    // "/F12 210 Tf 1 0 .3 -1 0 0 Tm" (".3": a slanted face made up)
    const auto font = words(lines[first]);
    if (font.size() != 10 || !font[0].startsWith('/') || font[2] != "Tf" || font[3] != "1" || font[4] != "0"
        || (font[5] != "0" && font[5] != ".3") || font[6] != "-1" || font[7] != "0" || font[8] != "0"
        || font[9] != "Tm")
        return std::nullopt;
    const Widths *widths = fonts.value(font[0].sliced(1).toByteArray(), nullptr);
    const std::optional<double> size = toNumber(font[1]);
    if (!widths || !size || *size <= 0)
        return std::nullopt;

    QList<GlyphPlacement> glyphs;
    glyphs.reserve(qsizetype(end - first - 1));
    for (size_t i = first + 1; i < end; ++i) {
        // "12.5 0 Td <002A> Tj"
        const auto w = words(lines[i]);
        if (w.size() != 5 || w[2] != "Td" || w[4] != "Tj" || w[3].size() != 6 || w[3][0] != '<' || w[3][5] != '>')
            return std::nullopt;
        const std::optional<double> dx = toNumber(w[0]);
        const std::optional<double> dy = toNumber(w[1]);
        bool ok = false;
        GlyphPlacement g;
        g.hex = w[3].sliced(1, 4).toByteArray();
        g.glyph = g.hex.toInt(&ok, 16);
        if (!dx || !dy || !ok || !widths->contains(g.glyph))
            return std::nullopt;
        g.dx = *dx;
        g.dy = *dy;
        glyphs.append(g);
    }

    QByteArray out = lines[first].toByteArray() + '\n';
    // Positions relative to the text object's origin: of the glyph as Qt
    // placed it, of the line start last set with Td, and of the pen.
    double x = 0, y = 0;
    double lineX = 0, lineY = 0;
    double pen = 0;
    bool open = false;
    for (const GlyphPlacement &g : glyphs) {
        x += g.dx;
        y += g.dy;
        if (open && std::abs(y - lineY) > 1e-6) {
            out += "] TJ\n";
            open = false;
        }
        if (!open) {
            out += number(x - lineX) + ' ' + number(y - lineY) + " Td [";
            lineX = x;
            lineY = y;
            pen = x;
            open = true;
        } else {
            // TJ moves the pen back by n/1000 of the font size. The widths
            // are whole thousandths: let their rounding add up to a little
            // more than one before correcting it.
            const double behind = (pen - x) * 1000 / *size;
            const double adjust = std::abs(behind) > 1.5 ? std::round(behind) : 0;
            if (adjust != 0) {
                out += QByteArray::number(int(adjust));
                pen -= adjust * *size / 1000;
            }
        }
        out += '<' + g.hex + '>';
        pen += widths->value(g.glyph) * *size / 1000;
    }
    if (open)
        out += "] TJ\n";
    return out;
}

// Text objects that follow each other in the same colour become one: Qt
// ends each, restores the state and sets the same colour again
// ("ET Q q <colour> /GSa gs BT"), and the next one sets its own font and
// matrix anyway.
QByteArray joinTextObjects(const QByteArray &content)
{
    const Lines lines = splitLines(content);
    QByteArray out;
    out.reserve(content.size());
    QByteArrayView colour;   // set before the text object now open
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == "BT")
            colour = i >= 3 && lines[i - 1] == "/GSa gs" && lines[i - 3] == "q" ? lines[i - 2] : QByteArrayView();
        if (lines[i] == "ET" && !colour.isEmpty() && i + 5 < lines.size() && lines[i + 1] == "Q"
            && lines[i + 2] == "q" && lines[i + 3] == colour && lines[i + 4] == "/GSa gs" && lines[i + 5] == "BT") {
            i += 5;
            continue;
        }
        out += lines[i];
        if (i + 1 < lines.size())
            out += '\n';
    }
    return out;
}

QByteArray compactContent(const QByteArray &content, const QHash<QByteArray, const Widths *> &fonts)
{
    const Lines lines = splitLines(content);
    QByteArray out;
    out.reserve(content.size() / 3);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != "BT") {
            out += lines[i];
            if (i + 1 < lines.size())
                out += '\n';
            continue;
        }
        size_t end = i + 1;
        while (end < lines.size() && lines[end] != "ET" && lines[end] != "BT")
            ++end;
        if (end >= lines.size() || lines[end] != "ET") {
            out += lines[i];
            out += '\n';
            continue;
        }
        const std::optional<QByteArray> runs = textObjectAsRuns(lines, i + 1, end, fonts);
        out += "BT\n";
        if (runs) {
            out += *runs;
        } else {
            for (size_t j = i + 1; j < end; ++j) {
                out += lines[j];
                out += '\n';
            }
        }
        out += "ET";
        if (end + 1 < lines.size())
            out += '\n';
        i = end;
    }
    return out;
}

int referenceAfter(const QByteArray &object, const char *key)
{
    static const QRegularExpression reference(QStringLiteral("^\\s*(\\d+) 0 R"));
    const qsizetype at = object.indexOf(key);
    if (at < 0)
        return -1;
    const QRegularExpressionMatch m =
        reference.match(QString::fromLatin1(object.mid(at + qstrlen(key), 24)));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

QByteArray compactPdfText(const QByteArray &pdf)
{
    qint64 xref = 0;
    int count = 0;
    const std::map<int, qint64> offsets = objectOffsets(pdf, &xref, &count);
    if (offsets.empty())
        return pdf;
    // Each object's bytes, up to the next object in the file.
    std::map<qint64, int> byOffset;
    for (const auto &[object, offset] : offsets)
        byOffset[offset] = object;
    std::map<int, QByteArray> objects;
    for (auto it = byOffset.begin(); it != byOffset.end(); ++it) {
        const auto next = std::next(it);
        const qint64 end = next == byOffset.end() ? xref : next->first;
        if (it->first <= 0 || end <= it->first || end > pdf.size())
            return pdf;
        objects[it->second] = pdf.mid(it->first, end - it->first);
        if (!objects[it->second].startsWith(QByteArray::number(it->second) + " 0 obj\n"))
            return pdf;
    }

    // Fonts by their resource names, and the page streams.
    std::map<int, Widths> cidWidths;
    for (const auto &[number, text] : objects) {
        if (text.contains("/Subtype /CIDFontType2"))
            cidWidths[number] = parseWidths(text);
    }
    QHash<QByteArray, const Widths *> fonts;
    static const QRegularExpression fontResource(QStringLiteral("/(F\\d+) (\\d+) 0 R"));
    QList<int> contents;
    for (const auto &[number, text] : objects) {
        if (text.contains("/Font <<")) {
            const qsizetype from = text.indexOf("/Font <<");
            const QString dictionary = QString::fromLatin1(text.mid(from, text.indexOf(">>", from) - from));
            for (const QRegularExpressionMatch &m : fontResource.globalMatch(dictionary)) {
                const auto type0 = objects.find(m.captured(2).toInt());
                if (type0 == objects.end() || !type0->second.contains("/Subtype /Type0"))
                    continue;
                const auto cid = cidWidths.find(referenceAfter(type0->second, "/DescendantFonts ["));
                if (cid != cidWidths.end() && !cid->second.isEmpty())
                    fonts.insert(m.captured(1).toLatin1(), &cid->second);
            }
        }
        if (text.contains("/Type /Page\n")) {
            const int content = referenceAfter(text, "/Contents");
            if (content > 0)
                contents.append(content);
        }
    }

    for (const int number : contents) {
        QByteArray &object = objects[number];
        static const QByteArray header = "<<\n/Length ";
        const qsizetype headerAt = object.indexOf(header);
        const int lengthObject = referenceAfter(object, "/Length");
        const qsizetype dataAt = object.indexOf("stream\n");
        if (headerAt < 0 || lengthObject < 0 || dataAt < 0 || !object.contains("/Filter /FlateDecode")
            || !objects.count(lengthObject))
            continue;
        QByteArray &lengthText = objects[lengthObject];
        bool ok = false;
        const qsizetype length = lengthText.mid(lengthText.indexOf('\n') + 1).split('\n').value(0).trimmed().toLongLong(&ok);
        if (!ok || dataAt + 7 + length > object.size())
            continue;
        // qUncompress wants the size first; it grows its buffer when short.
        QByteArray compressed(4, '\0');
        const quint32 guess = quint32(std::min<qsizetype>(length * 32, 1 << 28));
        compressed[0] = char(guess >> 24);
        compressed[1] = char(guess >> 16);
        compressed[2] = char(guess >> 8);
        compressed[3] = char(guess);
        compressed += object.mid(dataAt + 7, length);
        const QByteArray content = qUncompress(compressed);
        if (content.isEmpty())
            continue;
        const QByteArray recompressed = qCompress(joinTextObjects(compactContent(content, fonts)), 6).mid(4);
        if (recompressed.size() >= length)
            continue;
        object = object.left(dataAt + 7) + recompressed + object.mid(dataAt + 7 + length);
        lengthText = QByteArray::number(lengthObject) + " 0 obj\n" + QByteArray::number(recompressed.size())
            + "\nendobj\n";
    }

    // The file again, with a new cross-reference table.
    QByteArray out = pdf.left(byOffset.begin()->first);
    std::map<int, qint64> newOffsets;
    for (const auto &[offset, number] : byOffset) {
        newOffsets[number] = out.size();
        out += objects[number];
    }
    const qint64 newXref = out.size();
    out += "xref\n0 " + QByteArray::number(count) + '\n';
    for (int number = 0; number < count; ++number) {
        const auto it = newOffsets.find(number);
        if (it == newOffsets.end())
            out += number == 0 ? "0000000000 65535 f \n" : "0000000000 00000 f \n";
        else
            out += QByteArray::number(it->second).rightJustified(10, '0') + " 00000 n \n";
    }
    const qsizetype trailer = pdf.indexOf("trailer", xref);
    const qsizetype startxref = pdf.lastIndexOf("startxref");
    if (trailer < 0 || startxref < trailer)
        return pdf;
    out += pdf.mid(trailer, startxref - trailer);
    out += "startxref\n" + QByteArray::number(newXref) + "\n%%EOF\n";
    return out;
}

} // namespace tamapiko::printing
