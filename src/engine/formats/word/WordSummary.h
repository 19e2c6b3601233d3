#pragma once

// The document's summary (title, subject, author, keywords, comments) as
// the property set streams of a compound file hold it: "\005Summary-
// Information", and "\005DocumentSummaryInformation" beside it, which
// readers expect even when it says nothing. Shell previews and other word
// processors show the summary without reading the document.

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace tamapiko::engine {
class DocumentModel;
}

namespace tamapiko::engine::word {

struct DocumentSummary
{
    QString title;
    QString subject;
    QString author;
    QString keywords;
    QString comments;
    bool isEmpty() const
    {
        return title.isEmpty() && subject.isEmpty() && author.isEmpty() && keywords.isEmpty() && comments.isEmpty();
    }
    bool operator==(const DocumentSummary &) const = default;

    // Where a document keeps it: the title as the document's title, the
    // rest as facts about the source file.
    static DocumentSummary of(const DocumentModel &model);
    void applyTo(DocumentModel &model) const;
};

extern const QString kSummaryStreamName;
extern const QString kDocumentSummaryStreamName;

// The streams' bytes. `characters` is the count shown beside the summary.
QByteArray summaryInformationStream(const DocumentSummary &summary, int characters);
QByteArray documentSummaryInformationStream();

// The summary in a SummaryInformation stream; what is damaged or missing
// stays empty.
DocumentSummary readSummaryInformation(QByteArrayView stream);

} // namespace tamapiko::engine::word
