#pragma once

// HeaderFooterSet: the headers and footers of a document.
//
// Each header or footer is a small rich-text story of its own (a
// QTextDocument with the main document's default font), kept apart from the
// body so that the body's positions, undo and layout never see it. A
// section may give its first page a story of its own, and a document may
// tell even pages from odd ones; which story a page shows follows from
// those switches.
//
// The first section's stories are the document's. A later section (counted
// from 0 in the order of the body) may hold any of its six stories itself,
// an empty one blanking the band there; a story it leaves out is the one
// the section before shows, as Word links a section's headers to the
// previous section's.
// Fields in a story (page number, page count) are runs whose character
// format carries CharField; the text kept there is only the last result,
// each page shows its own.

#include <QObject>

#include <array>
#include <vector>

class QTextDocument;

namespace tamapiko::engine {

enum class HeaderFooterKind : quint8 { Header, Footer };

// The pages a story serves. Default serves every page, or only the odd ones
// while even pages differ.
enum class HeaderFooterPages : quint8 { Default, First, Even };

// Fields a run of text can stand for. The numbers are kept in documents
// (CharField), so never renumber them.
enum class FieldKind : quint8 { None, PageNumber, PageCount };

// Where a page stands: its index from 0, its section, and whether it is the
// first page of that section.
struct PagePlace
{
    int page = 0;
    int section = 0;
    bool opensSection = false;
};

class HeaderFooterSet : public QObject
{
    Q_OBJECT

public:
    explicit HeaderFooterSet(QTextDocument *body, QObject *parent = nullptr);
    ~HeaderFooterSet() override;

    // The section's own story, or null when it holds none there.
    QTextDocument *story(HeaderFooterKind kind, HeaderFooterPages pages, int section = 0) const;
    // The section's own story, made empty when there was none.
    QTextDocument *ensureStory(HeaderFooterKind kind, HeaderFooterPages pages, int section = 0);
    // Takes `story` over (a reader built it); replaces what was there.
    void adoptStory(HeaderFooterKind kind, HeaderFooterPages pages, QTextDocument *story, int section = 0);
    void removeStory(HeaderFooterKind kind, HeaderFooterPages pages, int section = 0);
    // Whether no section holds a story.
    bool isEmpty() const;
    // Sections up to the last one holding a story or a switch (at least 1).
    int sectionCount() const { return int(m_sections.size()); }

    // The story a page shows, or null for none.
    QTextDocument *storyForPage(HeaderFooterKind kind, const PagePlace &place) const;
    // The stories pages show when the document is one section.
    QTextDocument *storyForPage(HeaderFooterKind kind, int page) const
    {
        return storyForPage(kind, PagePlace{page, 0, page == 0});
    }

    // Whether the first page of the section has stories of its own.
    bool differentFirstPage(int section = 0) const;
    void setDifferentFirstPage(bool on, int section = 0);
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
    struct Section
    {
        std::array<QTextDocument *, SlotCount> stories{};
        bool firstPage = false;
    };
    Section &section(int index);
    // The story in `slot` of the section or the nearest one before holding one.
    QTextDocument *linkedStory(int slot, int section) const;
    void watch(QTextDocument *story);

    QTextDocument *m_body;
    std::vector<Section> m_sections{1};   // never empty
    bool m_evenPages = false;
};

} // namespace tamapiko::engine
