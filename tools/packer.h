#pragma once
// The packer of the embedded data: the inverse of data/unpack.h, writing the same format
// with the same predictor. Deterministic: the same files always give the same pack.
#include <vector>

using PackBytes = std::vector<unsigned char>;

// Packs the files, in this order (at most 255 of them, each under 4 GiB).
PackBytes packFiles(const std::vector<PackBytes>& files);
