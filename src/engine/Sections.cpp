#include "engine/Sections.h"

#include "engine/EngineProperties.h"

#include <QTextDocument>
#include <QTextFrame>

#include <algorithm>

namespace tamapiko::engine {

namespace {

// A column is never narrower than this, whatever a file says.
constexpr int MinimumColumnWidth = 144;

// The columns as a list of ints: count, spacing, line between, then the
// number of columns with widths of their own and, per column, its width and
// the gap after it.
void appendColumns(QVariantList &list, const ColumnSetup &columns)
{
    list << columns.count << columns.spacing << int(columns.lineBetween) << int(columns.widths.size());
    for (int i = 0; i < columns.widths.size(); ++i)
        list << columns.widths.at(i) << columns.gaps.value(i);
}

ColumnSetup takeColumns(const QVariantList &list, int at)
{
    ColumnSetup columns;
    if (list.size() < at + 4)
        return columns;
    columns.count = std::clamp(list.at(at).toInt(), 1, ColumnSetup::MaximumCount);
    columns.spacing = std::clamp(list.at(at + 1).toInt(), 0, PageSetup::LargestTwips);
    columns.lineBetween = list.at(at + 2).toInt() != 0;
    const int own = std::clamp(list.at(at + 3).toInt(), 0, ColumnSetup::MaximumCount);
    for (int i = 0; i < own && list.size() >= at + 6 + 2 * i; ++i) {
        columns.widths << std::clamp(list.at(at + 4 + 2 * i).toInt(), 0, PageSetup::LargestTwips);
        columns.gaps << std::clamp(list.at(at + 5 + 2 * i).toInt(), 0, PageSetup::LargestTwips);
    }
    if (columns.widths.size() != columns.count) {
        columns.widths.clear();
        columns.gaps.clear();
    }
    return columns;
}

constexpr int PageFields = 8;

} // namespace

QList<QPair<int, int>> ColumnSetup::place(int bodyWidth) const
{
    QList<QPair<int, int>> placed;
    const int n = std::max(1, count);
    if (widths.size() == n) {
        // Widths of their own, scaled down together when they do not fit.
        qint64 total = 0;
        for (int i = 0; i < n; ++i)
            total += widths.at(i) + (i + 1 < n ? gaps.value(i) : 0);
        const double scale = total > bodyWidth && total > 0 ? double(bodyWidth) / double(total) : 1.0;
        double x = 0;
        for (int i = 0; i < n; ++i) {
            placed.append({int(x), std::max(MinimumColumnWidth, int(widths.at(i) * scale))});
            x += (widths.at(i) + (i + 1 < n ? gaps.value(i) : 0)) * scale;
        }
        return placed;
    }
    const int gap = n > 1 ? std::min(spacing, (bodyWidth - n * MinimumColumnWidth) / (n - 1)) : 0;
    const int width = std::max(MinimumColumnWidth, (bodyWidth - std::max(0, gap) * (n - 1)) / n);
    for (int i = 0; i < n; ++i)
        placed.append({i * (width + std::max(0, gap)), width});
    return placed;
}

namespace sections {

std::optional<SectionSetup> startingAt(const QTextBlock &block)
{
    const QVariant value = block.blockFormat().property(ParagraphSectionStart);
    if (!value.isValid())
        return std::nullopt;
    const QVariantList list = value.toList();
    SectionSetup setup;
    if (list.size() < 1 + PageFields)
        return setup;
    setup.start = SectionStart(std::clamp(list.at(0).toInt(), 0, int(SectionStart::OddPage)));
    PageSetup &page = setup.page;
    int *fields[PageFields] = {&page.width, &page.height, &page.marginLeft, &page.marginTop,
                               &page.marginRight, &page.marginBottom, &page.headerDistance, &page.footerDistance};
    for (int i = 0; i < PageFields; ++i)
        *fields[i] = list.at(1 + i).toInt();
    page = page.clamped();
    setup.columns = takeColumns(list, 1 + PageFields);
    return setup;
}

bool startsSection(const QTextBlock &block)
{
    return block.blockFormat().hasProperty(ParagraphSectionStart);
}

void setStart(QTextBlockFormat &format, const std::optional<SectionSetup> &setup)
{
    if (!setup) {
        format.clearProperty(ParagraphSectionStart);
        return;
    }
    const PageSetup &page = setup->page;
    QVariantList list;
    list << int(setup->start) << page.width << page.height << page.marginLeft << page.marginTop
         << page.marginRight << page.marginBottom << page.headerDistance << page.footerDistance;
    appendColumns(list, setup->columns);
    format.setProperty(ParagraphSectionStart, list);
}

ColumnSetup firstColumns(const QTextDocument *document)
{
    const QVariant value = document->rootFrame()->frameFormat().property(DocumentFirstColumns);
    return value.isValid() ? takeColumns(value.toList(), 0) : ColumnSetup();
}

void setFirstColumns(QTextDocument *document, const ColumnSetup &columns)
{
    QTextFrame *root = document->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    if (columns == ColumnSetup()) {
        if (!format.hasProperty(DocumentFirstColumns))
            return;
        format.clearProperty(DocumentFirstColumns);
    } else {
        QVariantList list;
        appendColumns(list, columns);
        format.setProperty(DocumentFirstColumns, list);
    }
    root->setFrameFormat(format);
}

} // namespace sections

} // namespace tamapiko::engine
