#include "engine/DocumentModel.h"

#include "engine/io/LocalResourceDocument.h"

namespace tamapiko::engine {

DocumentModel::DocumentModel(QObject *parent)
    : QObject(parent)
    , m_document(new LocalResourceDocument(this))
    , m_headerFooters(m_document)
{
}

DocumentModel::~DocumentModel() = default;

PageSetup PageSetup::clamped() const
{
    PageSetup page = *this;
    for (int *size : {&page.width, &page.height})
        *size = qBound(SmallestTwips, *size, LargestTwips);
    for (int *margin : {&page.marginLeft, &page.marginTop, &page.marginRight, &page.marginBottom})
        *margin = qBound(0, *margin, LargestTwips);
    return page;
}

// The one place page values enter the model: readers, the page set-up and
// the program all come through here.
void DocumentModel::setPageSetup(const PageSetup &requested)
{
    const PageSetup page = requested.clamped();
    if (page == m_page)
        return;
    m_page = page;
    emit pageSetupChanged();
}

void DocumentModel::clear()
{
    m_document->clear();
    m_document->clearUndoRedoStacks();
    m_sourceProperties.clear();
    m_headerFooters.clear();
    setPageSetup(PageSetup());
}

} // namespace tamapiko::engine
