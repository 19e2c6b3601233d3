#include "engine/layout/PageNotes.h"

#include "engine/EngineProperties.h"
#include "engine/layout/EastAsianLineHeight.h"
#include "engine/layout/PageLayout.h"
#include "engine/layout/PageTable.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <QtMath>

#include <algorithm>

namespace tamapiko::engine {

namespace {

// The note a character format is the mark of (empty: none).
QString noteOf(const QTextCharFormat &format)
{
    return format.stringProperty(CharNote);
}

// The format a cursor at position + 1 reports (that of the character at
// `position`), read from the block's fragments: placing a cursor lays out
// its line, and prune() asks this for every note on every edit.
QTextCharFormat formatAt(QTextDocument *document, int position)
{
    const int at = std::clamp(position + 1, 0, document->characterCount() - 1);
    const QTextBlock block = document->findBlock(at);
    // At a paragraph's start the cursor shows the first character, else
    // the one before it.
    const int character = at == block.position() && block.length() > 1 ? at : at - 1;
    for (auto it = block.begin(); character >= block.position() && !it.atEnd(); ++it) {
        if (it.fragment().contains(character))
            return it.fragment().charFormat();
    }
    // The end of the paragraph before an empty one: its format is the one
    // the empty paragraph starts with.
    return block.charFormat();
}

} // namespace

PageNotes::PageNotes(QTextDocument *document, const PageTable &pages)
    : m_document(document)
    , m_pages(pages)
{
}

PageNotes::~PageNotes() = default;

void PageNotes::setWidth(int width)
{
    if (width == m_width)
        return;
    m_width = width;
    for (Note &note : m_notes)
        layOut(note);
}

std::vector<PageNotes::Note>::iterator PageNotes::find(int position)
{
    return std::lower_bound(m_notes.begin(), m_notes.end(), position,
                            [](const Note &note, int p) { return note.anchor.position() < p; });
}

void PageNotes::noteChanged(int page)
{
    if (page < 0)
        return;
    m_firstChanged = std::min(m_firstChanged, page);
    m_lastChanged = std::max(m_lastChanged, page);
}

std::pair<int, int> PageNotes::takeChangedPages()
{
    const std::pair<int, int> changed{m_firstChanged, m_lastChanged};
    m_firstChanged = INT_MAX;
    m_lastChanged = INT_MIN;
    return changed;
}

void PageNotes::prune()
{
    int previous = -1;
    std::erase_if(m_notes, [&](const Note &note) {
        const int position = note.anchor.position();
        // A mark whose text was deleted leaves its cursor on a neighbour;
        // one in the middle of a mark is a duplicate of the mark's own.
        const bool gone = position == previous || noteOf(formatAt(m_document, position)).isEmpty()
            || (position > 0 && noteOf(formatAt(m_document, position - 1)) == note.text
                && m_document->findBlock(position - 1) == m_document->findBlock(position));
        previous = position;
        if (gone) {
            if (note.endnote)
                m_endnotesChanged = true;
            else
                noteChanged(note.page);
        }
        return gone;
    });
}

std::vector<PageNotes::Mark> PageNotes::marksIn(const QTextBlock &block)
{
    std::vector<Mark> marks;
    QString previousNote;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const QString text = noteOf(format);
        if (text.isEmpty() || text == previousNote) {
            previousNote = text;   // a mark over several runs counts once
            continue;
        }
        previousNote = text;
        const int position = fragment.position();
        auto note = find(position);
        if (note == m_notes.end() || note->anchor.position() != position) {
            Note added;
            added.anchor = QTextCursor(m_document);
            added.anchor.setPosition(position);
            note = m_notes.insert(note, std::move(added));
        }
        const bool endnote = format.boolProperty(CharEndnote);
        const QString family = format.font().family();
        if (note->text != text || note->endnote != endnote || note->family != family || note->mark != fragment.text()
            || !note->layout) {
            note->text = text;
            note->family = family;
            note->mark = fragment.text();
            if (note->endnote || endnote)
                m_endnotesChanged = true;
            if (!note->endnote)
                noteChanged(note->page);
            note->endnote = endnote;
            note->layout.reset();
        }
        marks.push_back(Mark{position, 0, endnote});
    }
    for (Mark &mark : marks) {
        Note &note = *find(mark.position);
        if (!note.layout)
            layOut(note);
        mark.height = note.height;
    }
    return marks;
}

void PageNotes::layOut(Note &note) const
{
    QFont font(note.family);
    font.setPointSizeF(NoteFontSize);
    const QString text = QString(note.mark + u' ' + note.text).replace(QChar::ParagraphSeparator, QChar::LineSeparator);
    note.layout = std::make_unique<QTextLayout>(text, font, PageLayout::layoutDevice());
    QTextCharFormat raised;
    raised.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    note.layout->setFormats({QTextLayout::FormatRange{0, int(note.mark.size()), raised}});
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    note.layout->setTextOption(option);
    const qreal leastLineHeight = EastAsianLineHeight::leastFor(font);
    note.layout->beginLayout();
    qreal y = 0;
    for (QTextLine line = note.layout->createLine(); line.isValid(); line = note.layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(std::max(1, m_width));
        line.setPosition(QPointF(0, y));
        y += std::max(line.height(), leastLineHeight);
    }
    note.layout->endLayout();
    note.height = qCeil(y);
}

int PageNotes::footnotesHeight(int page, int beforePosition) const
{
    // Marks before a position the layout has reached are where it put
    // them, in page order.
    auto it = std::lower_bound(m_notes.begin(), m_notes.end(), beforePosition,
                               [](const Note &note, int p) { return note.anchor.position() < p; });
    int height = 0;
    while (it != m_notes.begin()) {
        --it;
        if (it->endnote)
            continue;
        if (it->page < page)
            break;
        if (it->page == page)
            height += it->height;
    }
    return height;
}

int PageNotes::roomOnPage(int page, int position) const
{
    if (m_notes.empty())
        return 0;
    return areaFor(footnotesHeight(page, position));
}

void PageNotes::place(int position, int page)
{
    const auto note = find(position);
    if (note == m_notes.end() || note->anchor.position() != position || note->page == page)
        return;
    if (!note->endnote) {
        noteChanged(note->page);
        noteChanged(page);
    }
    note->page = page;
}

int PageNotes::placeEndnotes(int top)
{
    m_endnotesChanged = false;
    m_endnotesTop = top;
    int y = top + SeparatorRoom;
    int lastPage = -1;
    for (Note &note : m_notes) {
        if (!note.endnote)
            continue;
        const int page = m_pages.pageOfY(y);
        if (y > m_pages.flowTop(page) && y + note.height > m_pages.flowBottom(page))
            y = m_pages.flowTop(page + 1);
        note.flowTop = y;
        y += note.height;
        lastPage = m_pages.pageOfY(y - 1);
    }
    return lastPage;
}

QString PageNotes::textOnPage(int page) const
{
    QString text;
    for (const bool endnotes : {false, true}) {
        for (const Note &note : m_notes) {
            if (note.endnote != endnotes)
                continue;
            const bool here = endnotes ? m_pages.pageOfY(note.flowTop) == page : note.page == page;
            if (here && note.layout)
                text += note.layout->text();
        }
    }
    return text;
}

void PageNotes::paintNote(QPainter *painter, const Note &note, QPointF origin) const
{
    if (note.layout)
        note.layout->draw(painter, origin);
}

void PageNotes::paintPage(QPainter *painter, int page, const QRect &area, QPoint bodyOrigin) const
{
    if (m_notes.empty())
        return;
    painter->save();
    painter->setPen(QPen(Qt::black, 10));
    auto separator = [&](int x, int y) { painter->drawLine(QPointF(x, y), QPointF(x + m_width / 4.0, y)); };
    if (!area.isEmpty()) {
        separator(area.left(), area.top() + SeparatorRoom / 2);
        int y = area.top() + SeparatorRoom;
        for (const Note &note : m_notes) {
            if (note.endnote || note.page != page)
                continue;
            paintNote(painter, note, QPointF(area.left(), y));
            y += note.height;
        }
    }
    const int pageTop = m_pages.flowTop(page);
    const int pageBottom = m_pages.flowBottom(page);
    bool anyEndnote = false;
    for (const Note &note : m_notes) {
        if (!note.endnote)
            continue;
        anyEndnote = true;
        if (note.flowTop >= pageTop && note.flowTop < pageBottom)
            paintNote(painter, note, QPointF(bodyOrigin.x(), bodyOrigin.y() + note.flowTop - pageTop));
    }
    if (anyEndnote && m_endnotesTop >= pageTop && m_endnotesTop < pageBottom)
        separator(bodyOrigin.x(), bodyOrigin.y() + m_endnotesTop - pageTop + SeparatorRoom / 2);
    painter->restore();
}

} // namespace tamapiko::engine
