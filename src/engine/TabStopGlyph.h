#pragma once

// The little marks that stand for tab stops on the ruler and on the
// button bar's tab-type buttons: └ left, ┘ right, ┴ centred, ┴. decimal.

#include <QPointF>
#include <QTextOption>

class QPainter;

// Draws the glyph with the painter's pen; `foot` is where the stem meets
// the base line (the stop's position), `size` the length of stem and arms.
void drawTabStopGlyph(QPainter &painter, QPointF foot, QTextOption::TabType type, qreal size);
