#pragma once

// HeaderFooterSet: the headers and footers of a document.
//
// Each header or footer is a small rich-text story of its own (a
// QTextDocument with the main document's default font), kept apart from the
// body so that the body's positions, undo and layout never see it. A
// document may give the first page its own story and tell even pages from
// odd ones; which story a page shows follows from those two switches.
// Fields in a story (page number, page count) are runs whose character
// format carries CharField; the text kept there is only the last result,
// each page shows its own.

#include <QObject>

#include <array>

class QTextDocument;

namespace tamapiko::engine {

enum class HeaderFooterKind : quint8 { Header, Footer };

// The pages a story serves. Default serves every page, or only the odd ones
// while even pages differ.
enum class HeaderFooterPages : quint8 { Default, First, Even };

// Fields a run of text can stand for. The numbers are kept in documents
// (CharField), so never renumber them.
enum class FieldKind : quint8 { None, PageNumber, PageCount };

class HeaderFooterSet : public QObject
{
    Q_OBJECT

public:
    explicit HeaderFooterSet(QTextDocument *body, QObject *parent = nullptr);
    ~HeaderFooterSet() override;

    // The story, or null when the document has none there.
    QTextDocument *story(HeaderFooterKind kind, HeaderFooterPages pages) const;
    // The story, made empty when there was none.
    QTextDocument *ensureStory(HeaderFooterKind kind, HeaderFooterPages pages);
    // Takes `story` over (a reader built it); replaces what was there.
    void adoptStory(HeaderFooterKind kind, HeaderFooterPages pages, QTextDocument *story);
    void removeStory(HeaderFooterKind kind, HeaderFooterPages pages);
    bool isEmpty() const;

    // The story page `page` (from 0) shows, or null for none.
    QTextDocument *storyForPage(HeaderFooterKind kind, int page) const;

    bool differentFirstPage() const { return m_firstPage; }
    void setDifferentFirstPage(bool on);
    bool differentEvenPages() const { return m_evenPages; }
    void setDifferentEvenPages(bool on);

    // Drops every story and switch.
    void clear();

    // What a page shows for a field: the page number from 1, or the count.
    static QString fieldText(FieldKind kind, int page, int pageCount);

signals:
    // A story was added, removed or edited, or a switch changed.
    void changed();

private:
    static constexpr int SlotCount = 6;
    static int slot(HeaderFooterKind kind, HeaderFooterPages pages);
    void watch(QTextDocument *story);

    QTextDocument *m_body;
    std::array<QTextDocument *, SlotCount> m_stories{};
    bool m_firstPage = false;
    bool m_evenPages = false;
};

} // namespace tamapiko::engine
