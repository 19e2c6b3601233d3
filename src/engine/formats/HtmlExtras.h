#pragma once

// What Qt's HTML import and export have no place for: paragraph frames (CSS
// borders and padding on a paragraph), least row heights (CSS height on a
// table cell or row) and cell lines thinner than a pixel or between two. The writer marks the paragraphs and cells in a
// scratch copy of the document, lets Qt write it, and turns each mark into
// CSS on the element that holds it; the reader does the same in reverse.
// Frames also keep their exact bits in a data-frame attribute, so that tab
// lines and connected frames come back from our own files.

#include <QList>
#include <QString>

class QTextDocument;

namespace tamapiko::engine::html {

// The document as HTML with its paragraph frames and row heights. The
// document is a scratch copy: it gets marks that the HTML does not keep.
QString toHtmlWithExtras(QTextDocument *scratch);
// True when the document has anything toHtmlWithExtras() adds.
bool hasExtras(const QTextDocument *doc);

class ExtrasReader
{
public:
    // The HTML with a mark after each element whose frame or height Qt
    // would drop; give the result to Qt, then the document to apply().
    QString take(const QString &html);
    // Gives the marked paragraphs and cells their frames and heights and
    // removes the marks.
    void apply(QTextDocument *doc) const;

private:
    struct Extra
    {
        bool cell = false;
        int frameStyle = 0;
        int frameWidth = 0;    // twips
        int frameDistance = 0; // twips
        int rowHeight = 0;     // twips
        QList<double> borderWidths; // points, top, bottom, left, right: what Qt rounds to whole pixels
    };
    QList<Extra> m_extras;
};

} // namespace tamapiko::engine::html
