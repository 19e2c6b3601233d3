#pragma once

// The program-wide page record: the exchange area between the active
// document's page, the page set-up dialog and the .txm header, where its 28
// bytes are stored as they lie in memory (little-endian).

#include <cstdint>

struct PageSettingsRecord
{
    std::int32_t MarginLeft = 0;
    std::int32_t MarginTop = 0;
    std::int32_t MarginRight = 0;
    std::int32_t MarginBottom = 0;
    std::int32_t PaperHeight = 0;
    std::int32_t PaperWidth = 0;
    std::int16_t PaperIndex = 0;
    std::int16_t Reserved = 0;
};
static_assert(sizeof(PageSettingsRecord) == 28, "the .txm header stores exactly 28 bytes");
