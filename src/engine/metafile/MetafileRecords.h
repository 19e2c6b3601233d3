#pragma once

// The record loops of the two metafile kinds, for Metafile only.

#include <QByteArrayView>
#include <QRectF>

#include <optional>

namespace tamapiko::engine::metafile {

class GdiPlayer;

// Records are bounded so that no input can keep the player busy for long.
constexpr int kMaxRecords = 500000;

void playWmfRecords(QByteArrayView data, qsizetype recordsStart, GdiPlayer &player);
void playEmfRecords(QByteArrayView data, GdiPlayer &player);

// The window a WMF without a placeable header sets up for itself, if any.
std::optional<QRectF> wmfWindow(QByteArrayView data, qsizetype recordsStart);

} // namespace tamapiko::engine::metafile
