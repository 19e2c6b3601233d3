#pragma once

// HeaderFooterLayout: the headers and footers of a document laid out for
// the pages that show them.
//
// A story is laid out as a page of its own, as wide as the band it goes in,
// with the same PageLayout as the body, so a header shows tables, pictures
// and formats exactly as the body would. Fields differ from page to page:
// each page gets a copy of the story whose page number and page count runs
// hold that page's values. Copies are kept for the last few pages asked
// for; a story without fields is laid out once for every page.

#include "engine/HeaderFooterSet.h"

#include <QHash>
#include <QPointer>
#include <QTextDocument>

#include <memory>
#include <vector>

namespace tamapiko::engine {

class PageLayout;

class HeaderFooterLayout
{
public:
    explicit HeaderFooterLayout(const HeaderFooterSet &set);
    ~HeaderFooterLayout();

    struct Placed
    {
        PageLayout *layout = nullptr;    // its first page holds the story; null: none
        int height = 0;                  // twips the story takes
    };

    // The header or footer the page at `place` of `pageCount` shows, laid
    // out `width` twips wide.
    Placed story(HeaderFooterKind kind, const PagePlace &place, int pageCount, int width);

    // How tall that story is laid out `width` twips wide. Its fields count
    // with the text they hold, so every page's copy takes the same room.
    int heightOf(HeaderFooterKind kind, const PagePlace &place, int width);
    int heightOf(QTextDocument *story, int width);

    // A copy of `story` with every field run showing its value on that
    // page; the caller owns it.
    static std::unique_ptr<QTextDocument> resolvedCopy(const QTextDocument &story, int page, int pageCount);
    static bool hasFields(const QTextDocument &story);

private:
    struct Instance;

    struct Measured
    {
        QPointer<QTextDocument> story;
        int revision = 0;
        int width = 0;
        int height = 0;
    };
    std::unique_ptr<Instance> layOut(QTextDocument *story, int width, int page, int pageCount, bool resolveFields) const;

    const HeaderFooterSet &m_set;
    std::vector<std::unique_ptr<Instance>> m_instances;   // most recently used last
    QHash<std::pair<const QTextDocument *, int>, Measured> m_measured;   // by story and width
};

} // namespace tamapiko::engine
