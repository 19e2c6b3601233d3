#include "engine/DocumentModel.h"

#include <QTextDocument>

namespace tamapiko::engine {

DocumentModel::DocumentModel(QObject *parent)
    : QObject(parent)
    , m_document(new QTextDocument(this))
{
}

DocumentModel::~DocumentModel() = default;

void DocumentModel::setPageSetup(const PageSetup &page)
{
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
    setPageSetup(PageSetup());
}

} // namespace tamapiko::engine
