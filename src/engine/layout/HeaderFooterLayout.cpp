#include "engine/layout/HeaderFooterLayout.h"

#include "engine/EngineProperties.h"
#include "engine/layout/PageLayout.h"

#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace tamapiko::engine {

namespace {

// Enough for the pages on screen at once and a print run going forward.
constexpr size_t MaximumInstances = 16;

FieldKind fieldOf(const QTextCharFormat &format)
{
    const int kind = format.intProperty(CharField);
    return kind == int(FieldKind::PageNumber) || kind == int(FieldKind::PageCount) ? FieldKind(kind)
                                                                                    : FieldKind::None;
}

} // namespace

struct HeaderFooterLayout::Instance
{
    QPointer<QTextDocument> source;
    int revision = 0;
    int width = 0;
    bool hasFields = false;
    int page = 0;
    int pageCount = 0;
    std::unique_ptr<QTextDocument> document;
    PageLayout *layout = nullptr;        // owned by the document
    int height = 0;

    bool serves(const QTextDocument *story, int w, int p, int count) const
    {
        return source == story && revision == story->revision() && width == w
            && (!hasFields || (page == p && pageCount == count));
    }
};

HeaderFooterLayout::HeaderFooterLayout(const HeaderFooterSet &set)
    : m_set(set)
{
}

HeaderFooterLayout::~HeaderFooterLayout() = default;

bool HeaderFooterLayout::hasFields(const QTextDocument &story)
{
    for (QTextBlock block = story.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (fieldOf(it.fragment().charFormat()) != FieldKind::None)
                return true;
        }
    }
    return false;
}

std::unique_ptr<QTextDocument> HeaderFooterLayout::resolvedCopy(const QTextDocument &story, int page, int pageCount)
{
    std::unique_ptr<QTextDocument> copy(story.clone());
    copy->setUndoRedoEnabled(false);
    // Runs from the end backwards, so that replacing one keeps the
    // positions of those before it.
    struct Run { int position; int length; FieldKind kind; };
    std::vector<Run> runs;
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (const FieldKind kind = fieldOf(fragment.charFormat()); kind != FieldKind::None)
                runs.push_back({fragment.position(), fragment.length(), kind});
        }
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        QTextCursor cursor(copy.get());
        cursor.setPosition(run->position);
        cursor.setPosition(run->position + run->length, QTextCursor::KeepAnchor);
        const QTextCharFormat format = cursor.charFormat();
        cursor.insertText(HeaderFooterSet::fieldText(run->kind, page, pageCount), format);
    }
    return copy;
}

std::unique_ptr<HeaderFooterLayout::Instance> HeaderFooterLayout::layOut(QTextDocument *story, int width, int page,
                                                                        int pageCount, bool resolveFields) const
{
    auto instance = std::make_unique<Instance>();
    instance->source = story;
    instance->revision = story->revision();
    instance->width = width;
    instance->hasFields = resolveFields && hasFields(*story);
    instance->page = page;
    instance->pageCount = pageCount;
    if (instance->hasFields) {
        instance->document = resolvedCopy(*story, page, pageCount);
    } else {
        instance->document.reset(story->clone());
        instance->document->setUndoRedoEnabled(false);
    }
    instance->layout = new PageLayout(instance->document.get());
    instance->document->setDocumentLayout(instance->layout);
    // One page as wide as the band and taller than any header.
    PageSetup sheet;
    sheet.width = std::max(PageSetup::SmallestTwips, width);
    sheet.height = PageSetup::LargestTwips;
    sheet.marginLeft = sheet.marginRight = sheet.marginTop = sheet.marginBottom = 0;
    instance->layout->setPageSetup(sheet);
    instance->layout->ensureComplete();
    instance->height = int(instance->layout->blockBoundingRect(instance->document->lastBlock()).bottom());
    return instance;
}

HeaderFooterLayout::Placed HeaderFooterLayout::story(HeaderFooterKind kind, const PagePlace &place, int pageCount,
                                                     int width)
{
    QTextDocument *story = m_set.storyForPage(kind, place);
    if (!story || story->isEmpty())
        return {};

    const auto found = std::find_if(m_instances.begin(), m_instances.end(), [&](const auto &instance) {
        return instance->serves(story, width, place.page, pageCount);
    });
    if (found != m_instances.end()) {
        std::rotate(found, found + 1, m_instances.end());
        return {m_instances.back()->layout, m_instances.back()->height};
    }

    if (m_instances.size() >= MaximumInstances)
        m_instances.erase(m_instances.begin());
    m_instances.push_back(layOut(story, width, place.page, pageCount, true));
    return {m_instances.back()->layout, m_instances.back()->height};
}

int HeaderFooterLayout::heightOf(HeaderFooterKind kind, const PagePlace &place, int width)
{
    return heightOf(m_set.storyForPage(kind, place), width);
}

int HeaderFooterLayout::heightOf(QTextDocument *story, int width)
{
    if (!story || story->isEmpty())
        return 0;
    // A story edited (or gone, its address taken again) is measured again.
    Measured &known = m_measured[{story, width}];
    if (known.story != story || known.revision != story->revision())
        known = Measured{story, story->revision(), width, layOut(story, width, 0, 0, false)->height};
    return known.height;
}

} // namespace tamapiko::engine
