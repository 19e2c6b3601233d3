#pragma once

// Looking at pictures and objects at a fixed place as the engine laid them
// out, and reaching them with the mouse: where they stand on their sheet,
// where that is on screen, and where the lines of their page run.

#include "engine/layout/FloatingObjects.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRectF>

#include <vector>

class QWidget;
class TTextEngine;

namespace tamapiko::test {

// The objects standing on `page` (from 0), the layout complete.
std::vector<engine::PlacedObject> objectsOn(TTextEngine &engine, int page);
// Every object of the document, page by page.
std::vector<engine::PlacedObject> allObjects(TTextEngine &engine);
// Where an object is in the engine's viewport (page layout view), pixels.
QRectF objectOnScreen(TTextEngine &engine, const engine::PlacedObject &object);
// The text of every line on a page: its rectangle on the sheet, twips.
QList<QRect> linesOnPage(TTextEngine &engine, int page);
// Presses the left button at `from`, moves in two steps and lets go at `to`.
void dragWithMouse(QWidget *widget, QPoint from, QPoint to);

} // namespace tamapiko::test
