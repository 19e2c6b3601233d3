#pragma once

// DocumentModel: what a document is, apart from how it is shown.
//
// The rich text lives in a QTextDocument (blocks, fragments, shared formats,
// tables, images, undo stack). Around it the model keeps what QTextDocument
// has no place for: the page set-up and facts about the file the document
// came from that a writer needs to be faithful to it.

#include "engine/HeaderFooterSet.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QTextDocument;

namespace tamapiko::engine {

// Page size and margins in twips. A4 portrait with 30/25 mm margins by default.
struct PageSetup
{
    // What the engine lays out: twice the largest paper word processors
    // offer (22 inches), at least a tenth of an inch. Files may say anything
    // (2147483647, a negative margin); the model keeps only values in range.
    static constexpr int LargestTwips = 2 * 31680;
    static constexpr int SmallestTwips = 144;

    int width = 11906;
    int height = 16838;
    int marginLeft = 1701;
    int marginTop = 1985;
    int marginRight = 1701;
    int marginBottom = 1701;
    int headerDistance = 720;    // paper edge to the header's top
    int footerDistance = 720;    // paper edge to the footer's bottom

    int textWidth() const { return width - marginLeft - marginRight; }
    int textHeight() const { return height - marginTop - marginBottom; }
    // Every value brought into the range above.
    PageSetup clamped() const;
    bool operator==(const PageSetup &) const = default;
};

class DocumentModel : public QObject
{
    Q_OBJECT

public:
    explicit DocumentModel(QObject *parent = nullptr);
    ~DocumentModel() override;

    QTextDocument *document() const { return m_document; }

    // Headers and footers, each a story of its own beside the body.
    HeaderFooterSet &headerFooters() { return m_headerFooters; }
    const HeaderFooterSet &headerFooters() const { return m_headerFooters; }

    const PageSetup &pageSetup() const { return m_page; }
    void setPageSetup(const PageSetup &page);

    // Facts about the source file, keyed by the filter that read it
    // (for example "text/encoding" = "Shift_JIS", "text/lineEnd" = "\r\n").
    QVariant sourceProperty(const QString &key) const { return m_sourceProperties.value(key); }
    void setSourceProperty(const QString &key, const QVariant &value) { m_sourceProperties.insert(key, value); }
    QStringList sourcePropertyKeys() const { return m_sourceProperties.keys(); }
    void clearSourceProperties() { m_sourceProperties.clear(); }

    // Empties the document (text, formats, resources, undo history, headers
    // and footers) and restores the default page set-up.
    void clear();

signals:
    void pageSetupChanged();

private:
    QTextDocument *m_document;
    HeaderFooterSet m_headerFooters;
    PageSetup m_page;
    QVariantMap m_sourceProperties;
};

} // namespace tamapiko::engine
