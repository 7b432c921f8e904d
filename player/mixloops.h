#pragma once
// The mixer's loops for the processor at hand. Every loop gives each frame
// exactly the float operations of the one-frame formula, in the same order (no fused
// multiply-add, no reassociation): only how many frames are in flight differs.
#include <cstdint>

// Whole samples below this are addressed with signed 32-bit lane indices.
constexpr std::uint32_t WideSampleLimit = 1u << 30;
constexpr int WideFrames = 8; // frames per step of the wide loop

// True when the processor has AVX2 and allowWideMixing has not turned the wide loop off.
bool wideMixingAllowed();

// Adds blocks x WideFrames frames of data, resampled from the 32.32 position p moving by
// delta per frame (negative going backward), times factorA and factorB into the
// interleaved pairs at out; returns the position after them. Needs wideMixingAllowed()
// and a sample shorter than WideSampleLimit.
std::int64_t mixConstantWide(float* out, std::int32_t blocks, const std::int16_t* data, std::int64_t p,
                             std::int64_t delta, float factorA, float factorB);
// The same with gains that start at gainA and gainB and move by stepA and stepB after each
// frame; leaves gainA and gainB at their values after the last frame's step.
std::int64_t mixRampWide(float* out, std::int32_t blocks, const std::int16_t* data, std::int64_t p,
                         std::int64_t delta, float& gainA, float& gainB, float stepA, float stepB);
