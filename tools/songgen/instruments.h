#pragma once
// The song's five instruments, each one synthesised sample with its tuning, level,
// panning and envelope.
#include "tools/songgen/xmwriter.h"

namespace songgen {

// Instrument numbers as the pattern cells use them (1-based).
constexpr std::uint8_t KickInstrument = 1;
constexpr std::uint8_t SnareInstrument = 2;
constexpr std::uint8_t CymbalInstrument = 3; // hats when cut short, crash when let ring
constexpr std::uint8_t BassInstrument = 4;
constexpr std::uint8_t LeadInstrument = 5;

std::vector<XmInstrument> makeInstruments();

} // namespace songgen
