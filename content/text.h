#pragma once
// The show's only text output: one line in a bitmap font, added onto the frame.
#include <cstdint>

#include "content/font.h"

constexpr int TextCharacterLimit = 128; // characters drawn by one call at most

// Draws `text` (NUL-terminated, ISO 8859-1) from pixel (x, y), the top-left corner of the
// first glyph, each glyph (cell width + 1) x scaleX by strip height x scaleY pixels,
// added to the frame. Drawing stops at the first character not in the font's alphabet
// and after TextCharacterLimit characters. In the 320-wide fallback mode position and
// scale are halved. Between BeginScene and EndScene, main thread. Overwrites the start of
// sharedVertexBuffer and leaves its device states set.
void drawText(std::int32_t x, std::int32_t y, float scaleX, float scaleY, const char* text, BitmapFont font);
