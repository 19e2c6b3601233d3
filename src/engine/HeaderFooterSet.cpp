#include "engine/HeaderFooterSet.h"

#include <QTextDocument>

#include <algorithm>

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

HeaderFooterSet::Section &HeaderFooterSet::section(int index)
{
    // Readers give sections from the file: never more than the body can hold.
    index = std::max(0, index);
    if (size_t(index) >= m_sections.size())
        m_sections.resize(size_t(index) + 1);
    return m_sections[size_t(index)];
}

QTextDocument *HeaderFooterSet::story(HeaderFooterKind kind, HeaderFooterPages pages, int section) const
{
    if (section < 0 || size_t(section) >= m_sections.size())
        return nullptr;
    return m_sections[size_t(section)].stories[slot(kind, pages)];
}

void HeaderFooterSet::watch(QTextDocument *story)
{
    story->setParent(this);
    connect(story, &QTextDocument::contentsChanged, this, &HeaderFooterSet::changed);
}

QTextDocument *HeaderFooterSet::ensureStory(HeaderFooterKind kind, HeaderFooterPages pages, int index)
{
    QTextDocument *&story = section(index).stories[slot(kind, pages)];
    if (!story) {
        story = new QTextDocument(this);
        story->setDefaultFont(m_body->defaultFont());
        story->setDocumentMargin(0);
        watch(story);
        emit changed();
    }
    return story;
}

void HeaderFooterSet::adoptStory(HeaderFooterKind kind, HeaderFooterPages pages, QTextDocument *story, int index)
{
    if (!story && (index < 0 || size_t(index) >= m_sections.size()))
        return;
    QTextDocument *&held = section(index).stories[slot(kind, pages)];
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

void HeaderFooterSet::removeStory(HeaderFooterKind kind, HeaderFooterPages pages, int section)
{
    adoptStory(kind, pages, nullptr, section);
}

bool HeaderFooterSet::isEmpty() const
{
    for (const Section &section : m_sections) {
        for (const QTextDocument *story : section.stories) {
            if (story)
                return false;
        }
    }
    return true;
}

QTextDocument *HeaderFooterSet::linkedStory(int slot, int section) const
{
    for (int s = std::min(section, int(m_sections.size()) - 1); s >= 0; --s) {
        if (QTextDocument *story = m_sections[size_t(s)].stories[slot])
            return story;
    }
    return nullptr;
}

QTextDocument *HeaderFooterSet::storyForPage(HeaderFooterKind kind, const PagePlace &place) const
{
    if (place.opensSection && differentFirstPage(place.section))
        return linkedStory(slot(kind, HeaderFooterPages::First), place.section);
    // Page 2 (index 1) is a left, even page. A file that tells even pages
    // apart but gives them no story of their own shows the common one there.
    if (m_evenPages && place.page % 2 == 1) {
        if (QTextDocument *even = linkedStory(slot(kind, HeaderFooterPages::Even), place.section))
            return even;
    }
    return linkedStory(slot(kind, HeaderFooterPages::Default), place.section);
}

bool HeaderFooterSet::differentFirstPage(int section) const
{
    return section >= 0 && size_t(section) < m_sections.size() && m_sections[size_t(section)].firstPage;
}

void HeaderFooterSet::setDifferentFirstPage(bool on, int index)
{
    if (on == differentFirstPage(index))
        return;
    section(index).firstPage = on;
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
    const bool wasEmpty = isEmpty() && !m_sections.front().firstPage && m_sections.size() == 1 && !m_evenPages;
    for (Section &section : m_sections) {
        for (QTextDocument *story : section.stories)
            delete story;
    }
    m_sections.assign(1, Section());
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
