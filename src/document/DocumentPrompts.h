#pragma once

// The document window's modal questions that are not message boxes: the
// colour dialog and the save dialog. Tests answer them through hooks.

#include <QString>

#include <functional>
#include <optional>

class TMDIChild;

namespace tamapiko::document {

// Shows the window's colour dialog at `startRgb` (0x00BBGGRR); the chosen
// colour, or nothing when cancelled.
std::optional<int> chooseColour(TMDIChild &window, int startRgb);
using ColourHook = std::function<std::optional<int>(TMDIChild &window, int startRgb)>;
void setColourHook(ColourHook hook);

// Shows the window's save dialog; the chosen path, or empty when cancelled.
QString askSaveFileName(TMDIChild &window);
using SaveNameHook = std::function<QString(TMDIChild &window)>;
void setSaveNameHook(SaveNameHook hook);

} // namespace tamapiko::document
