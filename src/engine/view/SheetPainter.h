#pragma once

// SheetPainter: paints one sheet of a PageLayout on any QPainter at any scale.
//
// The screen's page view, the normal view, PrintPage (and through it the
// print preview and PDF export) all come here, so every output shows the
// same page by construction. Where the page's paper and body lie is read from
// the layout's page table; nothing here assumes pages are alike. Headers and
// footers go into the page's header and footer bands: a header hangs from
// the band's top, a footer stands on its bottom.

#include "engine/HeaderFooterSet.h"
#include "engine/view/PagePainter.h"

#include <QPointF>

class QPainter;

namespace tamapiko::engine {

class HeaderFooterLayout;
class PageLayout;
struct PageFrame;

class SheetPainter
{
public:
    // `headerFooters`, when given, are painted on every sheet.
    SheetPainter(PageLayout &layout, const PagePainter::Options &options,
                 HeaderFooterLayout *headerFooters = nullptr);

    // Paints page `page` (from 0) with the sheet's top-left corner at
    // `origin` (device coordinates of the painter) and `scaleX`/`scaleY`
    // device pixels per twip: the paper in white, then what the page holds.
    void paintSheet(QPainter *painter, int page, QPointF origin, qreal scaleX, qreal scaleY);
    // Only what the page's body holds, its top-left corner at `origin`
    // (the normal view, which shows no paper).
    void paintBody(QPainter *painter, int page, QPointF origin, qreal scale);

private:
    void prepare(QPainter *painter, QPointF origin, qreal scaleX, qreal scaleY);
    void paintStory(QPainter *painter, int page, const PageFrame &frame, HeaderFooterKind kind);
    void paintColumnLines(QPainter *painter, int page);

    PageLayout &m_layout;
    PagePainter::Options m_options;
    PagePainter m_pagePainter;
    HeaderFooterLayout *m_headerFooters;
};

} // namespace tamapiko::engine
