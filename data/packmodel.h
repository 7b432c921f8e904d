#pragma once
// The bit predictor shared by the embedded-data packer (tools/packer) and the unpacker:
// both run the same model over the same bytes, so the decoder sees exactly the
// probabilities the encoder used. Context orders 0 to 4 and 6, and the longest earlier
// match of the latest bytes, each give a probability that the next bit is 1; a small
// adaptive mixer weighs them. All integer arithmetic, so every platform and compiler
// gives the same result.
#include <cstddef>
#include <cstdint>

constexpr int PackProbabilityBits = 12; // probabilities are 0..4095 for "the bit is 1"
constexpr int PackOrders = 6;           // hashed context orders
constexpr int PackInputs = PackOrders + 1; // and the match model
constexpr int PackMatchLengths = 16;    // match lengths told apart (longer count as 15)

struct PackModel {
  std::uint32_t* counters;   // PackOrders tables: probability (high 22 bits), count (low 10)
  std::uint32_t* matchStart; // per hash of the latest bytes: where they were last followed
  unsigned char* seen;       // every byte so far
  std::size_t seenBytes;
  std::uint32_t matchAt;     // where the match predicts the next byte; 0 = no match
  std::uint32_t matchLength; // bytes the match has held
  std::uint32_t matchCounters[PackMatchLengths][2]; // by length and predicted bit
  std::uint32_t* matchCounter; // this bit's, or null when the match predicts nothing
  std::int32_t weights[8][PackInputs]; // one weight set per bit position, 16.16
  std::uint32_t tableBase[PackOrders]; // this byte's context hash for each order
  std::uint32_t nibbleBase[PackOrders]; // this nibble's counters in each table
  std::uint32_t* slot[PackOrders];     // this bit's counter in each table
  std::int32_t stretched[PackInputs];  // this bit's inputs to the mixer
  std::int16_t stretchTable[1 << PackProbabilityBits];
  std::uint32_t rates[256];  // a counter's step by its count, 16.16
  std::uint32_t partial;   // the bits of the current byte so far, after a leading 1
  std::uint32_t bitIndex;  // 0..7
  std::uint64_t history;   // the last eight bytes, the latest in the low byte
  std::int32_t prediction; // 0..4095
};

// Allocates and resets the model for a stream of `totalBytes`; false when out of memory
// (nothing is then held).
bool openPackModel(PackModel& model, std::size_t totalBytes);
void closePackModel(PackModel& model);

// The probability, 0..4095, that the next bit is 1.
inline std::int32_t packPrediction(const PackModel& model) { return model.prediction; }
// Learns the bit that came and prepares the next prediction. At most totalBytes bytes.
void learnPackBit(PackModel& model, std::int32_t bit);
