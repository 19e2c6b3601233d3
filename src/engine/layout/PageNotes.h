#pragma once

// PageNotes: footnotes at the foot of the page of their reference, endnotes
// after the last line of the document.
//
// A note lives on its reference mark: a run whose character format carries
// the note's text (CharNote; CharEndnote for an endnote). The mark is the
// number the body shows. While the layout stacks paragraphs it asks this
// class how much room the footnotes already on a page take (roomOnPage) and
// what the marks of a paragraph need (marksIn), and tells it where each
// mark went (place). A page's note area is a separator line and its notes,
// standing on the foot of the body; the page table keeps its rectangle.
//
// Entries follow their marks through edits (a cursor each), so a layout
// that restacks from the middle of a document still knows the notes of the
// paragraphs above it.

#include <QPoint>
#include <QRect>
#include <QString>
#include <QTextCursor>

#include <climits>
#include <memory>
#include <vector>

class QPainter;
class QTextBlock;
class QTextDocument;
class QTextLayout;

namespace tamapiko::engine {

class PageTable;

class PageNotes
{
public:
    // Room above the first note of a page, with the separator line in it.
    static constexpr int SeparatorRoom = 300;
    // The notes' own size, points.
    static constexpr qreal NoteFontSize = 10;

    struct Mark
    {
        int position = 0;            // of the reference mark in the document
        int height = 0;              // of the note's text, twips
        bool endnote = false;
    };

    PageNotes(QTextDocument *document, const PageTable &pages);
    ~PageNotes();

    bool isEmpty() const { return m_notes.empty(); }
    // Notes are laid out this wide (the body's width).
    void setWidth(int width);

    // Drops notes whose mark is gone or no longer a note's.
    void prune();
    // The note marks of a paragraph, in order; new ones are laid out now.
    std::vector<Mark> marksIn(const QTextBlock &block);
    // The foot room of a page: footnotes whose marks lie before `position`
    // (with the separator when there are any). 0 for a page without notes.
    int roomOnPage(int page, int position) const;
    // The room an area needs that holds notes of this total height.
    static int areaFor(int notesHeight) { return notesHeight > 0 ? SeparatorRoom + notesHeight : 0; }
    // The mark at `position` went to `page`.
    void place(int position, int page);
    // The first and last page whose footnotes changed since the last call
    // (first > last: none).
    std::pair<int, int> takeChangedPages();
    // Footnotes standing on a page whose marks lie before `position`, in
    // document order, and the height they take.
    int footnotesHeight(int page, int beforePosition = INT_MAX) const;

    // Endnotes: stacked from flow y `top` on, after the document's last
    // line, a note moving on to the next page when it does not fit. Returns
    // the last page they reach (-1 when there are none).
    int placeEndnotes(int top);
    bool endnotesChanged() const { return m_endnotesChanged; }
    int endnotesTop() const { return m_endnotesTop; }

    // The notes a page shows, as a reader reads them: each note's mark and
    // text, footnotes first.
    QString textOnPage(int page) const;

    // Paints a page's notes: the footnote area `area` (twips from the
    // sheet's corner, as the page table keeps it) and the endnotes on the
    // page, whose body's top-left corner is `bodyOrigin`.
    void paintPage(QPainter *painter, int page, const QRect &area, QPoint bodyOrigin) const;

private:
    struct Note
    {
        QTextCursor anchor;          // follows the mark through edits
        QString mark;
        QString text;
        QString family;
        bool endnote = false;
        int page = -1;
        int height = 0;
        int flowTop = 0;             // endnotes: where the note starts
        std::unique_ptr<QTextLayout> layout;
    };

    std::vector<Note>::iterator find(int position);
    void layOut(Note &note) const;
    void noteChanged(int page);
    void paintNote(QPainter *painter, const Note &note, QPointF origin) const;

    QTextDocument *m_document;
    const PageTable &m_pages;
    std::vector<Note> m_notes;       // in document order of their marks
    int m_width = 0;
    int m_firstChanged = INT_MAX;
    int m_lastChanged = INT_MIN;
    bool m_endnotesChanged = false;
    int m_endnotesTop = 0;
};

} // namespace tamapiko::engine
