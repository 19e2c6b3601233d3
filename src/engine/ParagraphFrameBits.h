#pragma once

// The bits of a paragraph frame's style (the engine's FrameStyle, stored in
// ParagraphFrameStyle). A "paragraph frame" is the box of lines drawn around
// a paragraph, not a QTextFrame.
//
// A stored style holds only the low byte. A style being written may also
// name sides as absent: the side's bit shifted by FrameAbsentShift switches
// that side off, so a write can change some sides and leave the others.

namespace tamapiko::engine {

enum ParagraphFrameBit : int {
    FrameLeft = 0x01,
    FrameRight = 0x02,
    FrameTop = 0x04,
    FrameBottom = 0x08,
    FrameTabLines = 0x10,      // vertical lines at the paragraph's tab stops
    FrameSingleLines = 0x20,   // asks for single lines when written
    FrameDoubleLines = 0x40,
    FrameConnected = 0x80,     // joins the frames of neighbouring paragraphs
};

inline constexpr int FrameSides = FrameLeft | FrameRight | FrameTop | FrameBottom;
inline constexpr int FrameAbsentShift = 8;

constexpr int absentFrameBit(int bit) { return bit << FrameAbsentShift; }

// Whether `style` draws any line at all.
constexpr bool drawsFrame(int style) { return (style & (FrameSides | FrameTabLines)) != 0; }

} // namespace tamapiko::engine
