#pragma once

// Hints of the form "short|long": the short part is the tooltip, the long
// part the status-bar text. A hint without "|" serves whole as both.

#include <QString>

class QWidget;

namespace tamapiko::app {

QString shortHint(const QString &hint);
QString longHint(const QString &hint);
void applyHint(QWidget *widget, const QString &hint);

} // namespace tamapiko::app
