#include "platform/port/captureframe.h"

#include <algorithm>
#include <cstring>

namespace port {

FramePlacement placeFrame(int recordingWidth, int recordingHeight, int pictureWidth, int pictureHeight) {
  FramePlacement p;
  if (pictureWidth <= 0 || pictureHeight <= 0) return p;
  p.scale = std::max(1, std::min(recordingWidth / pictureWidth, recordingHeight / pictureHeight));
  p.x = (recordingWidth - pictureWidth * p.scale) / 2;
  p.y = (recordingHeight - pictureHeight * p.scale) / 2;
  return p;
}

FrameComposer::FrameComposer(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)),
      frame_(static_cast<std::size_t>(width_) * height_, 0) {}

// One row of the recording from one row of the picture, clipped to the recording.
void FrameComposer::copyScaledRow(const std::uint32_t* from, int pictureWidth, const FramePlacement& p,
                                  std::uint32_t* to) const {
  const int first = std::max(0, p.x);
  const int end = std::min(width_, p.x + pictureWidth * p.scale);
  if (p.scale == 1) {
    if (end > first) std::memcpy(to + first, from + (first - p.x), sizeof(std::uint32_t) * (end - first));
    return;
  }
  for (int x = first; x < end; ++x) to[x] = from[(x - p.x) / p.scale];
}

const std::uint32_t* FrameComposer::compose(const FrameView& picture) {
  const FramePlacement p = placeFrame(width_, height_, picture.width, picture.height);
  if (picture.width != placedWidth_ || picture.height != placedHeight_) {
    std::fill(frame_.begin(), frame_.end(), 0u); // black around the picture
    placedWidth_ = picture.width;
    placedHeight_ = picture.height;
  }
  if (!picture.pixels) return frame_.data();
  const int first = std::max(0, p.y);
  const int end = std::min(height_, p.y + picture.height * p.scale);
  for (int y = first; y < end; ++y) {
    std::uint32_t* to = frame_.data() + static_cast<std::size_t>(y) * width_;
    const int pictureRow = (y - p.y) / p.scale;
    // Rows repeated by the scale are copied from the one already made.
    if (p.scale > 1 && y > first && pictureRow == (y - 1 - p.y) / p.scale) {
      std::memcpy(to, to - width_, sizeof(std::uint32_t) * width_);
      continue;
    }
    copyScaledRow(picture.pixels + static_cast<std::size_t>(pictureRow) * picture.pitch, picture.width, p, to);
  }
  return frame_.data();
}

} // namespace port
