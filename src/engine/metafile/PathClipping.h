#pragma once

#include <QPainterPath>
#include <QRectF>

namespace tamapiko::engine::metafile {

// Cuts a path down to what can show inside `box` before it reaches the
// rasteriser. Qt's antialiased rasteriser walks every cell an edge crosses,
// seen or not, so a metafile whose edges run far outside the picture costs
// seconds per shape; cut to the box, the same shape costs what it shows.

// Every subpath is taken as closed and cut with the box's four half-planes,
// which keeps the winding number of every point inside the box: the fill
// inside the box is unchanged under either fill rule.
QPainterPath fillClippedTo(const QPainterPath &path, const QRectF &box);

// Every subpath is taken as a polyline and only the pieces of its segments
// inside the box are kept, so a stroke no wider than the box's margin looks
// the same inside the box (ends cut outside become caps there).
QPainterPath strokeClippedTo(const QPainterPath &path, const QRectF &box);

} // namespace tamapiko::engine::metafile
