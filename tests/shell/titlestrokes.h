#pragma once
// Where the title's strokes are: the title drawn alone over black on the show's own
// device and content, at 640 x 480. For the tests that look for it in a shown or
// recorded picture, over the backdrop it adds onto.
#include <cstdint>
#include <utility>
#include <vector>

constexpr int StrokeLevel = 0xB0; // every channel of a title stroke's core is at least this

int darkestChannel(std::uint32_t rgb);

// The (x, y) of every pixel of a stroke's core. Leaves the shell and direction globals
// and the test hooks at their start values.
std::vector<std::pair<int, int>> titleStrokes();
