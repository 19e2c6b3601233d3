#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace tamapiko::engine {

class DocumentModel;

// Builds a model from HTML bytes. Qt's importer does the parsing; this class
// prepares the markup for it (charset, pictures, lengths) and mends what it
// leaves in pixels afterwards.
class HtmlReader
{
public:
    // baseDir: the folder relative picture paths start from; empty when the
    // HTML came from nowhere in particular (pasted, for example).
    explicit HtmlReader(const QString &baseDir);

    bool read(const QByteArray &bytes, DocumentModel &model, QString *error);

private:
    struct Picture
    {
        QByteArray bytes;      // the file as it was, when there was one
        QString format;        // "png", "jpeg"...
        QString linkedPath;    // a local file that could not be read
        QString remoteUrl;     // a picture on the network
    };

    QString resolvePictures(const QString &html, DocumentModel &model);
    QString resolvePicture(const QString &source, const QString &imgTag, DocumentModel &model);
    void mendFormats(DocumentModel &model) const;
    static void dropBlocksAddedAfterTables(DocumentModel &model);

    QString m_baseDir;
    QHash<QString, Picture> m_pictures; // by the resource name given to Qt
};

} // namespace tamapiko::engine
