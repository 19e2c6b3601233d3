#include "printing/PdfTextRuns.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QVarLengthArray>

#include <charconv>

#include <cmath>
#include <deque>
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

void appendNumber(QByteArray &out, double value)
{
    // Qt writes at most three decimals; so do we, without trailing zeros.
    double rounded = std::round(value * 1000) / 1000;
    if (rounded == 0)
        rounded = 0; // no "-0"
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, 3);
    const char *end = result.ptr;
    while (end > buffer && end[-1] == '0')
        --end;
    if (end > buffer && end[-1] == '.')
        --end;
    out.append(buffer, end - buffer);
}

// A two-byte glyph code inside a literal string: raw bytes but for the ones
// a string must escape, and line ends, so that a stream stays lines.
void appendGlyphCode(QByteArray &out, int value)
{
    for (const char byte : {char(value >> 8), char(value)}) {
        switch (byte) {
        case '\\': out += "\\\\"; break;
        case '(': out += "\\("; break;
        case ')': out += "\\)"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += byte; break;
        }
    }
}

int hexValue(QByteArrayView digits)
{
    int value = 0;
    for (const char c : digits) {
        const int digit = c >= '0' && c <= '9' ? c - '0'
            : c >= 'A' && c <= 'F'             ? c - 'A' + 10
            : c >= 'a' && c <= 'f'             ? c - 'a' + 10
                                               : -1;
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

using Lines = std::vector<QByteArrayView>;

// The lines of a content stream, as views into it.
Lines splitLines(QByteArrayView content)
{
    Lines lines;
    lines.reserve(content.size() / 16);
    qsizetype from = 0;
    while (true) {
        const qsizetype end = content.indexOf('\n', from);
        if (end < 0) {
            lines.push_back(content.sliced(from));
            return lines;
        }
        lines.push_back(content.sliced(from, end - from));
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

// Writes the glyphs of a text object as runs. Qt gives every glyph its own
// offset from the previous one ("dx dy Td <glyph> Tj") and every glyph run a
// font and matrix of its own. Here a font or matrix is written only when it
// changes, the glyphs of a line go into one array ("[(..)-3(..)] TJ", the
// codes as raw bytes)
// where the font's own advance widths place them, and a number corrects a
// glyph only where Qt put it elsewhere (kerning, justification, rounding):
// every glyph stays within a thousandth and a half of an em of Qt's place.
class RunWriter
{
public:
    explicit RunWriter(QByteArray &out) : m_out(out) {}

    // One glyph run's "/F12 210 Tf 1 0 .3 -1 0 0 Tm" (".3": a slanted face
    // made up): Qt's offsets that follow start again at the matrix's origin.
    void setFont(QByteArrayView line, QByteArrayView name, QByteArrayView size, QByteArrayView matrix,
                 double sizeValue, const Widths *widths)
    {
        if (matrix != m_matrix) {
            closeArray();
            m_out += line;
            m_out += '\n';
            m_matrix = matrix;
            m_fontName = name;
            m_fontSize = size;
            m_lineX = m_lineY = m_pen = 0;
            m_lineStarted = false;
        } else if (name != m_fontName || size != m_fontSize) {
            closeArray();
            m_out += name;
            m_out += ' ';
            m_out += size;
            m_out += " Tf\n";
            m_fontName = name;
            m_fontSize = size;
        }
        m_x = m_y = 0;
        m_size = sizeValue;
        m_widths = widths;
    }

    void glyph(double dx, double dy, int glyph, int width)
    {
        m_x += dx;
        m_y += dy;
        const bool sameLine = m_lineStarted && std::abs(m_y - m_runY) < 1e-6;
        if (m_array && !sameLine)
            closeArray();
        if (!m_array) {
            if (!sameLine) {
                // A new line start, relative to the last one.
                const double tx = std::round((m_x - m_lineX) * 1000) / 1000;
                const double ty = std::round((m_y - m_lineY) * 1000) / 1000;
                appendNumber(m_out, tx);
                m_out += ' ';
                appendNumber(m_out, ty);
                m_out += " Td ";
                m_lineX += tx;
                m_lineY += ty;
                m_pen = m_lineX;
                m_runY = m_y;
                m_lineStarted = true;
            }
            m_out += '[';
            m_array = true;
        }
        // TJ moves the pen back by n/1000 of the font size. The widths are
        // whole thousandths: let their rounding add up to a little more
        // than one before correcting it.
        const double behind = (m_pen - m_x) * 1000 / m_size;
        if (std::abs(behind) > 1.5) {
            const double adjust = std::round(behind);
            closeString();
            m_out += QByteArray::number(qint64(adjust));
            m_pen -= adjust * m_size / 1000;
        }
        if (!m_string) {
            m_out += '(';
            m_string = true;
        }
        appendGlyphCode(m_out, glyph);
        m_pen += width * m_size / 1000;
    }

    void finish() { closeArray(); }

private:
    void closeString()
    {
        if (m_string)
            m_out += ')';
        m_string = false;
    }

    void closeArray()
    {
        closeString();
        if (m_array)
            m_out += "] TJ\n";
        m_array = false;
    }

    QByteArray &m_out;
    QByteArrayView m_matrix, m_fontName, m_fontSize; // as last written
    double m_size = 0;
    const Widths *m_widths = nullptr;
    double m_x = 0, m_y = 0;         // where Qt put the glyph, from the matrix's origin
    double m_lineX = 0, m_lineY = 0; // the line start last written with Td (rounded)
    double m_runY = 0;               // Qt's height of the glyphs on that line
    bool m_lineStarted = false;
    double m_pen = 0;                // where the next glyph goes without a correction
    bool m_array = false, m_string = false;
};

// The inner lines of a text object (glued from several of Qt's) as runs
// appended to `out`; false, with `out` as it was, when they hold anything but
// fonts, matrices and placed glyphs.
bool appendTextObjectAsRuns(QByteArray &out, const Lines &lines, const std::vector<size_t> &inner,
                            const QHash<QByteArray, const Widths *> &fonts)
{
    const qsizetype start = out.size();
    RunWriter writer(out);
    const Widths *widths = nullptr;
    auto fail = [&] {
        out.truncate(start);
        return false;
    };
    for (const size_t index : inner) {
        const QByteArrayView line = lines[index];
        const auto w = words(line);
        if (w.size() == 5 && w[2] == "Td" && w[4] == "Tj") {
            // "12.5 0 Td <002A> Tj"
            if (!widths || w[3].size() != 6 || w[3][0] != '<' || w[3][5] != '>')
                return fail();
            const std::optional<double> dx = toNumber(w[0]);
            const std::optional<double> dy = toNumber(w[1]);
            const int glyph = hexValue(w[3].sliced(1, 4));
            const auto width = widths->constFind(glyph);
            if (!dx || !dy || glyph < 0 || width == widths->cend())
                return fail();
            writer.glyph(*dx, *dy, glyph, *width);
        } else if (w.size() == 10 && w[0].startsWith('/') && w[2] == "Tf" && w[3] == "1" && w[4] == "0"
                   && (w[5] == "0" || w[5] == ".3") && w[6] == "-1" && w[7] == "0" && w[8] == "0" && w[9] == "Tm") {
            widths = fonts.value(w[0].sliced(1).toByteArray(), nullptr);
            const std::optional<double> size = toNumber(w[1]);
            if (!widths || !size || *size <= 0)
                return fail();
            const QByteArrayView matrix(w[3].data(), w[8].data() + w[8].size() - w[3].data());
            writer.setFont(line, w[0], w[1], matrix, *size, widths);
        } else {
            return fail();
        }
    }
    writer.finish();
    return true;
}

// Whether a line of a content stream only sets state or builds a path or a
// clip, so that between "q" and "Q" it paints nothing.
bool paintsNothing(QByteArrayView line)
{
    static const QList<QByteArrayView> operators = {"cm", "w", "J", "j", "M", "d", "ri", "i", "gs", "CS", "cs",
                                                    "SC", "SCN", "sc", "scn", "G", "g", "RG", "rg", "K", "k",
                                                    "m", "l", "c", "v", "y", "h", "re", "W", "W*", "n"};
    for (const QByteArrayView word : words(line)) {
        const char c = word.front();
        if ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == '/' || c == '[' || c == '+')
            continue; // an operand ("[]0" is a dash array and its phase)
        if (!operators.contains(word))
            return false;
    }
    return true;
}

// "x y m", four "x y l" around a rectangle back to its start, "h": the
// rectangle as "x y w h re" (Qt writes its clip rectangles as paths).
std::optional<QByteArray> rectangleOf(const Lines &lines, size_t at)
{
    if (at + 5 >= lines.size() || lines[at + 5] != "h")
        return std::nullopt;
    double x[5], y[5];
    for (int i = 0; i < 5; ++i) {
        const auto w = words(lines[at + i]);
        const std::optional<double> px = w.size() == 3 ? toNumber(w[0]) : std::nullopt;
        const std::optional<double> py = w.size() == 3 ? toNumber(w[1]) : std::nullopt;
        if (!px || !py || w[2] != (i == 0 ? "m" : "l"))
            return std::nullopt;
        x[i] = *px;
        y[i] = *py;
    }
    const bool across = y[0] == y[1] && x[1] == x[2] && y[2] == y[3] && x[3] == x[0];
    const bool down = x[0] == x[1] && y[1] == y[2] && x[2] == x[3] && y[3] == y[0];
    if (!(across || down) || x[4] != x[0] || y[4] != y[0])
        return std::nullopt;
    QByteArray out;
    appendNumber(out, x[0]);
    out += ' ';
    appendNumber(out, y[0]);
    out += ' ';
    appendNumber(out, x[2] - x[0]);
    out += ' ';
    appendNumber(out, y[2] - y[0]);
    out += " re";
    return out;
}

// Qt saves and restores the graphics state around every item it draws,
// also around items that end up painting nothing; those pairs go. Clip
// rectangles become rectangles.
QByteArray tidyStates(const QByteArray &content)
{
    const Lines lines = splitLines(content);
    for (const QByteArrayView line : lines) {
        if (line == "BI")
            return content; // inline image data is not lines
    }
    std::deque<QByteArray> rectangles; // what `kept` points at, never moved
    std::vector<QByteArrayView> kept;
    kept.reserve(lines.size());
    struct Open
    {
        size_t at; // index of the "q" in `kept`
        bool painted;
    };
    std::vector<Open> open;
    auto keep = [&](QByteArrayView line) {
        if (line == "q") {
            open.push_back({kept.size(), false});
        } else if (line == "Q" && !open.empty()) {
            const Open level = open.back();
            open.pop_back();
            if (!level.painted) {
                kept.resize(level.at);
                return;
            }
            if (!open.empty())
                open.back().painted = true;
        } else if (!open.empty() && !open.back().painted && !paintsNothing(line)) {
            open.back().painted = true;
        }
        kept.push_back(line);
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        if (line.size() == 3 && (line[0] == 'q' || line[0] == 'Q') && line[1] == ' '
            && (line[2] == 'q' || line[2] == 'Q')) {
            keep(line.first(1)); // "Q q"
            keep(line.last(1));
            continue;
        }
        if (line.endsWith(" m") && i + 6 < lines.size() && lines[i + 6].startsWith('W')) {
            if (std::optional<QByteArray> rectangle = rectangleOf(lines, i)) {
                rectangles.push_back(std::move(*rectangle));
                keep(rectangles.back());
                i += 5;
                continue;
            }
        }
        keep(line);
    }
    QByteArray out;
    out.reserve(content.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        out += kept[i];
        if (i + 1 < kept.size())
            out += '\n';
    }
    return out;
}

// A page's content stream with its text as runs. Text objects that follow
// each other in the same colour become one: Qt ends each, restores the state
// and sets the same colour again ("ET Q q <colour> /GSa gs BT").
QByteArray compactContent(const QByteArray &content, const QHash<QByteArray, const Widths *> &fonts)
{
    const Lines lines = splitLines(content);
    QByteArray out;
    out.reserve(content.size() / 2);
    std::vector<size_t> inner;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != "BT") {
            out += lines[i];
            if (i + 1 < lines.size())
                out += '\n';
            continue;
        }
        const QByteArrayView colour =
            i >= 3 && lines[i - 1] == "/GSa gs" && lines[i - 3] == "q" ? lines[i - 2] : QByteArrayView();
        inner.clear();
        size_t end = i + 1;
        for (;;) {
            while (end < lines.size() && lines[end] != "ET" && lines[end] != "BT")
                inner.push_back(end++);
            if (end >= lines.size() || lines[end] != "ET")
                break;
            if (colour.isEmpty() || end + 5 >= lines.size() || lines[end + 1] != "Q" || lines[end + 2] != "q"
                || lines[end + 3] != colour || lines[end + 4] != "/GSa gs" || lines[end + 5] != "BT")
                break;
            end += 6; // the next object continues this one
        }
        if (end >= lines.size() || lines[end] != "ET") {
            // Not a text object as Qt writes them: the lines as they are.
            for (size_t j = i; j < end; ++j) {
                out += lines[j];
                out += '\n';
            }
            i = end - 1;
            continue;
        }
        out += "BT\n";
        if (!appendTextObjectAsRuns(out, lines, inner, fonts)) {
            for (const size_t j : inner) {
                out += lines[j];
                out += '\n';
            }
        }
        out += "ET";
        if (end + 1 < lines.size())
            out += '\n';
        i = end;
    }
    return tidyStates(out);
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
        const QByteArray recompressed = qCompress(compactContent(content, fonts), 6).mid(4);
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
