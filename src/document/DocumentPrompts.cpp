#include "document/DocumentPrompts.h"

#include "document/TMDIChild.h"
#include "document/WinColour.h"

#include <QColorDialog>
#include <QFileDialog>

namespace tamapiko::document {

namespace {
ColourHook &colourHook()
{
    static ColourHook hook;
    return hook;
}

SaveNameHook &saveNameHook()
{
    static SaveNameHook hook;
    return hook;
}
} // namespace

std::optional<int> chooseColour(TMDIChild &window, int startRgb)
{
    if (colourHook())
        return colourHook()(window, startRgb);
    QColorDialog *dialog = window.colorDialog();
    dialog->setCurrentColor(colourFromRgbValue(startRgb));
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return rgbValueFromColour(dialog->selectedColor());
}

void setColourHook(ColourHook hook)
{
    colourHook() = std::move(hook);
}

QString askSaveFileName(TMDIChild &window)
{
    if (saveNameHook())
        return saveNameHook()(window);
    QFileDialog *dialog = window.saveDialog();
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    return dialog->selectedFiles().first();
}

void setSaveNameHook(SaveNameHook hook)
{
    saveNameHook() = std::move(hook);
}

} // namespace tamapiko::document
