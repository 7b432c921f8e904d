#pragma once
// A recorded frame: the show's picture scaled up by the largest whole factor that fits
// the recording's size (nearest neighbour), centred on black. A picture larger than the
// recording keeps its centre.
#include <cstdint>
#include <vector>

#include "platform/port/backend.h"

namespace port {

struct FramePlacement {
  int scale = 1; // whole factor, 1 or more
  int x = 0;     // where the picture's top-left pixel lands; negative when cropped
  int y = 0;
};
FramePlacement placeFrame(int recordingWidth, int recordingHeight, int pictureWidth, int pictureHeight);

class FrameComposer {
public:
  FrameComposer(int width, int height);
  // The recording's frame for `picture`: width x height X8R8G8B8 pixels, tightly packed,
  // valid until the next call.
  const std::uint32_t* compose(const FrameView& picture);
  int width() const { return width_; }
  int height() const { return height_; }

private:
  void copyScaledRow(const std::uint32_t* from, int pictureWidth, const FramePlacement& p, std::uint32_t* to) const;

  int width_;
  int height_;
  std::vector<std::uint32_t> frame_;
  // The placement the black border was last drawn for; a new one starts from black.
  int placedWidth_ = -1;
  int placedHeight_ = -1;
};

} // namespace port
