#pragma once

// The page a new document starts on, chosen by the engine's language: A4 in
// centimetres for German and Japanese, Letter in inches for every other.

struct DefaultPage
{
    int measureUnit;   // 1 inches, 2 centimetres
    int pageWidth;     // twips
    int pageHeight;    // twips
};

constexpr DefaultPage defaultPageForLanguage(int language)
{
    // 11900, not the exact 11906 twips of A4: documents made by earlier
    // versions carry this width and must keep printing the same way.
    if (language == 49 || language == 81)
        return {2, 11900, 16838};
    return {1, 12240, 15840};
}
