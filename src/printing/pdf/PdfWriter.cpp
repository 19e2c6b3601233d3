#include "printing/pdf/PdfWriter.h"

#include "printing/pdf/PdfPaintEngine.h"

#include <cmath>

namespace tamapiko::printing::pdf {

PdfWriter::PdfWriter(const QString &fileName)
    : m_engine(std::make_unique<PdfPaintEngine>(fileName, m_pageSize))
{
}

PdfWriter::~PdfWriter() = default;

void PdfWriter::setPageSize(const QSizeF &points)
{
    m_pageSize = points;
    m_engine->setPageSize(points);
}

void PdfWriter::setTitle(const QString &title)
{
    m_engine->setTitle(title);
}

void PdfWriter::setCreator(const QString &creator)
{
    m_engine->setCreator(creator);
}

bool PdfWriter::newPage()
{
    return m_engine->newPage();
}

QString PdfWriter::errorString() const
{
    return m_engine->errorString();
}

QPaintEngine *PdfWriter::paintEngine() const
{
    return m_engine.get();
}

int PdfWriter::metric(PaintDeviceMetric metric) const
{
    const qreal unitsPerPoint = Resolution / 72.0;
    switch (metric) {
    case PdmWidth:
        return int(std::lround(m_pageSize.width() * unitsPerPoint));
    case PdmHeight:
        return int(std::lround(m_pageSize.height() * unitsPerPoint));
    case PdmWidthMM:
        return int(std::lround(m_pageSize.width() * 25.4 / 72));
    case PdmHeightMM:
        return int(std::lround(m_pageSize.height() * 25.4 / 72));
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return Resolution;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    }
    return 0;
}

} // namespace tamapiko::printing::pdf
