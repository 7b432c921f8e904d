#pragma once
// Whole-image filters used by the texture generators and the font builder.
#include <cstdint>

#include "content/pixels.h"

// Filter modes of filterPixels; any other value gives an all-black result.
constexpr std::int32_t FilterSoftenEdges = 0; // one-sided ink edges drop to 2/3, corners 4/9
constexpr std::int32_t FilterScatterBlur = 1; // mean of eight scattered taps, edges wrap
constexpr std::int32_t FilterWarmShift = 2;   // darker, red-leaning copy smeared leftwards

// A filtered copy of `source` (same size) in a new memAlloc block; the source is not
// changed. Channels red, green and blue are computed; the spare byte is always 0.
PixelBuffer filterPixels(PixelBuffer source, std::int32_t mode);
