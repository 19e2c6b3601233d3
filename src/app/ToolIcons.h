#pragma once

// The frame's toolbar glyphs, drawn in code so that the program needs no icon
// theme and every button shows a picture on any desktop.

#include <QIcon>

namespace tamapiko::app {

enum class ToolGlyph {
    Exit, New, Open, Save,
    Print, PrintPreview, PageSetup,
    Cut, Copy, Paste,
    Undo, Redo, Find,
    TextColour, BackColour,
    Table, ParagraphMarks, Help,
    Bold, Italic, Underline,
    AlignLeft, AlignRight, AlignCenter, AlignJustify,
};

QIcon toolIcon(ToolGlyph glyph);

} // namespace tamapiko::app
