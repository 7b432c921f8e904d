// The title that opens the show and the credits that close it; the backdrop drawn after
// them adds onto the text.
#include "scenes/titles.h"

#include "content/text.h"
#include "scenes/sceneinputs.h"

namespace {

struct TextLine {
  const char* text;
  std::int32_t x, y;
  float scale; // the same across and down
};

constexpr TextLine Title = {"....quorvatics", 165, 210, 1.0f};

// A left-aligned block 40 pixels apart, and the authors' address in smaller type near
// the bottom edge (every character is in the sans alphabet, so each line draws whole).
constexpr TextLine Credits[] = {
    {".nyra", 230, 170, 1.0f},
    {".quorvatics", 230, 210, 1.0f},
    {".2002", 230, 250, 1.0f},
    {"www.quorvatics.example", 150, 440, 0.8f},
};

void drawLine(const TextLine& line, const BitmapFont& font) {
  drawText(line.x, line.y, line.scale, line.scale, line.text, font);
}

} // namespace

void drawTitle(DWORD) { drawLine(Title, sansFontLight); }

void drawCredits() {
  for (const TextLine& line : Credits) drawLine(line, sansFontDim);
}
