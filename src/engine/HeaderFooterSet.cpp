#include "engine/HeaderFooterSet.h"

#include <QTextDocument>

namespace tamapiko::engine {

HeaderFooterSet::HeaderFooterSet(QTextDocument *body, QObject *parent)
    : QObject(parent)
    , m_body(body)
{
}

HeaderFooterSet::~HeaderFooterSet() = default;

int HeaderFooterSet::slot(HeaderFooterKind kind, HeaderFooterPages pages)
{
    return int(kind) * 3 + int(pages);
}

QTextDocument *HeaderFooterSet::story(HeaderFooterKind kind, HeaderFooterPages pages) const
{
    return m_stories[slot(kind, pages)];
}

void HeaderFooterSet::watch(QTextDocument *story)
{
    story->setParent(this);
    connect(story, &QTextDocument::contentsChanged, this, &HeaderFooterSet::changed);
}

QTextDocument *HeaderFooterSet::ensureStory(HeaderFooterKind kind, HeaderFooterPages pages)
{
    QTextDocument *&story = m_stories[slot(kind, pages)];
    if (!story) {
        story = new QTextDocument(this);
        story->setDefaultFont(m_body->defaultFont());
        story->setDocumentMargin(0);
        watch(story);
        emit changed();
    }
    return story;
}

void HeaderFooterSet::adoptStory(HeaderFooterKind kind, HeaderFooterPages pages, QTextDocument *story)
{
    QTextDocument *&held = m_stories[slot(kind, pages)];
    if (held == story)
        return;
    delete held;
    held = story;
    if (story) {
        story->setDocumentMargin(0);
        watch(story);
    }
    emit changed();
}

void HeaderFooterSet::removeStory(HeaderFooterKind kind, HeaderFooterPages pages)
{
    adoptStory(kind, pages, nullptr);
}

bool HeaderFooterSet::isEmpty() const
{
    for (const QTextDocument *story : m_stories) {
        if (story)
            return false;
    }
    return true;
}

QTextDocument *HeaderFooterSet::storyForPage(HeaderFooterKind kind, int page) const
{
    if (m_firstPage && page == 0)
        return story(kind, HeaderFooterPages::First);
    // Page 2 (index 1) is a left, even page. A file that tells even pages
    // apart but gives them no story of their own shows the common one there.
    if (m_evenPages && page % 2 == 1) {
        if (QTextDocument *even = story(kind, HeaderFooterPages::Even))
            return even;
    }
    return story(kind, HeaderFooterPages::Default);
}

void HeaderFooterSet::setDifferentFirstPage(bool on)
{
    if (on == m_firstPage)
        return;
    m_firstPage = on;
    emit changed();
}

void HeaderFooterSet::setDifferentEvenPages(bool on)
{
    if (on == m_evenPages)
        return;
    m_evenPages = on;
    emit changed();
}

void HeaderFooterSet::clear()
{
    const bool wasEmpty = isEmpty() && !m_firstPage && !m_evenPages;
    for (QTextDocument *&story : m_stories) {
        delete story;
        story = nullptr;
    }
    m_firstPage = false;
    m_evenPages = false;
    if (!wasEmpty)
        emit changed();
}

QString HeaderFooterSet::fieldText(FieldKind kind, int page, int pageCount)
{
    switch (kind) {
    case FieldKind::PageNumber: return QString::number(page + 1);
    case FieldKind::PageCount: return QString::number(pageCount);
    case FieldKind::None: break;
    }
    return QString();
}

} // namespace tamapiko::engine
