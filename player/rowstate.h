#pragma once
// What row processing keeps for one row while it walks the channels, and the tick-0
// effect column that uses it.
#include <cstdint>

#include "player/channel.h"

struct RowState {
  bool jumpSeen = false;        // a position jump in a lower-numbered channel of this row
  std::int32_t loopTarget = -1; // a pattern loop asks to continue at this row; -1 none
};

// Channel values before the row touched them (a note delay puts them back).
struct ChannelBefore {
  std::int32_t volume;
  std::int32_t period;
  std::int32_t panning;
};

void applyRowEffect(Song* song, Channel& channel, const NoteCell& cell, const ChannelSound& sound,
                    const ChannelBefore& before, RowState& row);
