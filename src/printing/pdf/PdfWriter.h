#pragma once

// PdfWriter: a paint device that writes what is painted on it as a PDF
// file, one PDF page per page painted.
//
// Text is written as text: each run of glyphs as one string of glyph
// numbers in a subset of its font, with a map back to the characters, so
// the file stays small and its text can be searched, copied and extracted.
// Shapes, lines and images are written as PDF paths and images; clipping is
// written only where it cuts something. Each page's content is compressed
// once, when the page is finished.
//
// One device unit is a twip (1440 per inch), the engine's own unit.

#include <QPaintDevice>
#include <QSizeF>
#include <QString>

#include <memory>

namespace tamapiko::printing::pdf {

class PdfPaintEngine;

class PdfWriter : public QPaintDevice
{
public:
    static constexpr int Resolution = 1440;

    explicit PdfWriter(const QString &fileName);
    ~PdfWriter() override;

    // The size of the pages begun from now on, in points.
    void setPageSize(const QSizeF &points);
    QSizeF pageSize() const { return m_pageSize; }
    void setTitle(const QString &title);
    void setCreator(const QString &creator);

    // Finishes the page being painted and begins the next one.
    bool newPage();
    // Why the file could not be written (after QPainter::end() failed).
    QString errorString() const;

    QPaintEngine *paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSizeF m_pageSize{595.28, 841.89};
    std::unique_ptr<PdfPaintEngine> m_engine;
};

} // namespace tamapiko::printing::pdf
