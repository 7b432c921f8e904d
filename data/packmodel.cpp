#include "data/packmodel.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int TableBits = 18;
constexpr std::uint32_t TableEntries = 1u << TableBits;
constexpr int NibbleBits = 4;
constexpr std::uint32_t NibbleCounters = 1u << NibbleBits;
constexpr int MatchHashBits = 18;
constexpr std::uint32_t MatchMinimum = 5; // bytes hashed to find a match
constexpr std::int32_t ProbabilityMax = (1 << PackProbabilityBits) - 1;
constexpr std::int32_t StretchLimit = 2047;
constexpr int CounterCountBits = 10;
constexpr std::uint32_t CounterCountMask = (1u << CounterCountBits) - 1;
constexpr std::uint32_t CounterLimit = 255; // the slowest rate: 1/257 of the way per bit
constexpr std::uint32_t CounterStart = 1u << 31; // probability one half, count 0
constexpr int RateShift = 16; // rates are 2^16 / (count + 1.5)
constexpr int MixerRateShift = 10;   // weight step: input x error >> this
constexpr std::int32_t WeightStart = 1 << 14; // 0.25 each
constexpr std::uint32_t HashMultiplier = 0x9E3779B1u;
constexpr int ByteBits = 8;
constexpr std::uint64_t ByteMask = 0xFF;
constexpr int OrderBytes[PackOrders] = {0, 1, 2, 3, 4, 6};

// squash(x) = 4096 / (1 + e^-x) for x in 1/256 units, sampled every 128 and interpolated.
constexpr std::int32_t SquashPoints[33] = {
    1,    2,    3,    6,    10,   16,   27,   45,   73,   120,  194,  310,  488,  747,  1101, 1546, 2047,
    2549, 2994, 3348, 3607, 3785, 3901, 3975, 4022, 4050, 4068, 4079, 4085, 4089, 4092, 4093, 4094};

std::int32_t squash(std::int32_t x) {
  if (x > StretchLimit) return ProbabilityMax;
  if (x < -StretchLimit) return 0;
  const std::int32_t w = x & 127;
  const std::int32_t i = (x >> 7) + 16;
  return (SquashPoints[i] * (128 - w) + SquashPoints[i + 1] * w + 64) >> 7;
}

std::int32_t counterProbability(std::uint32_t counter) { return counter >> (32 - PackProbabilityBits); }

// Moves the probability 1/(count + 1.5) of the way toward the bit: fast while a context
// is new, steadier as it recurs.
void train(std::uint32_t& counter, std::int32_t bit, const std::uint32_t* rates) {
  const std::uint32_t count = counter & CounterCountMask;
  const std::int64_t p = counter >> CounterCountBits;
  const std::int64_t target = bit ? (1 << (32 - CounterCountBits)) - 1 : 0;
  const std::int64_t moved = p + (((target - p) * rates[count]) >> RateShift);
  counter = static_cast<std::uint32_t>(moved) << CounterCountBits | (count < CounterLimit ? count + 1 : count);
}

// The context bytes of each order, hashed with the order so that the orders' contexts
// do not meet.
std::uint32_t contextHash(std::uint64_t history, int order) {
  const int bytes = OrderBytes[order];
  const std::uint64_t kept = bytes ? history & (~0ull >> (64 - ByteBits * bytes)) : 0;
  std::uint32_t h = static_cast<std::uint32_t>(kept) * HashMultiplier;
  h ^= static_cast<std::uint32_t>(kept >> 32) * (HashMultiplier + 2 * order + 2);
  return (h ^ (h >> 15)) + static_cast<std::uint32_t>(order) * HashMultiplier;
}

std::uint32_t matchHash(std::uint64_t history) {
  const std::uint64_t kept = history & (~0ull >> (64 - ByteBits * MatchMinimum));
  const std::uint64_t h = kept * 0x9E3779B97F4A7C15ull;
  return static_cast<std::uint32_t>(h >> (64 - MatchHashBits));
}

// Where this nibble's 16 counters start in each table (one cache line): the byte's
// context and the nibble already known, hashed.
void startNibble(PackModel& m) {
  const std::uint32_t known = m.bitIndex == 0 ? 0 : m.partial;
  for (int i = 0; i < PackOrders; ++i)
    m.nibbleBase[i] = (((m.tableBase[i] + known) * HashMultiplier) >> (32 - TableBits)) & ~(NibbleCounters - 1);
}

// This bit's counter among its nibble's: 1, 2..3, 4..7 or 8..15, the nibble's bits so far
// after a leading 1.
std::uint32_t nibbleSlot(const PackModel& m) {
  const std::uint32_t seenBits = m.bitIndex % NibbleBits;
  return (1u << seenBits) | (m.partial & ((1u << seenBits) - 1));
}

void predict(PackModel& m) {
  if (m.bitIndex % NibbleBits == 0) startNibble(m);
  std::int64_t sum = 0;
  const std::int32_t* w = m.weights[m.bitIndex];
  const std::uint32_t slot = nibbleSlot(m);
  for (int i = 0; i < PackOrders; ++i) {
    m.slot[i] = &m.counters[i * TableEntries + m.nibbleBase[i] + slot];
    m.stretched[i] = m.stretchTable[counterProbability(*m.slot[i])];
  }
  m.matchCounter = nullptr;
  m.stretched[PackOrders] = 0;
  if (m.matchLength) {
    const std::uint32_t expected = m.seen[m.matchAt] | 0x100;
    if ((expected >> (ByteBits - m.bitIndex)) == m.partial) { // the match still agrees
      const std::uint32_t bit = (expected >> (ByteBits - 1 - m.bitIndex)) & 1;
      const std::uint32_t length = m.matchLength < PackMatchLengths ? m.matchLength : PackMatchLengths - 1;
      m.matchCounter = &m.matchCounters[length][bit];
      m.stretched[PackOrders] = m.stretchTable[counterProbability(*m.matchCounter)];
    }
  }
  for (int i = 0; i < PackInputs; ++i) sum += static_cast<std::int64_t>(m.stretched[i]) * w[i];
  const std::int32_t p = squash(static_cast<std::int32_t>(sum >> 16));
  m.prediction = p < 1 ? 1 : p > ProbabilityMax - 1 ? ProbabilityMax - 1 : p;
}

// After each whole byte: extend or drop the match, look for a new one, hash the contexts.
void startByte(PackModel& m) {
  if (m.seenBytes >= MatchMinimum) {
    if (m.matchLength && m.seen[m.matchAt] == (m.history & ByteMask)) {
      ++m.matchLength;
      ++m.matchAt;
    } else {
      m.matchLength = 0;
    }
    std::uint32_t& start = m.matchStart[matchHash(m.history)];
    if (!m.matchLength && start) {
      m.matchAt = start;
      while (m.matchLength < PackMatchLengths && m.matchLength < m.matchAt &&
             m.seen[m.matchAt - 1 - m.matchLength] == m.seen[m.seenBytes - 1 - m.matchLength])
        ++m.matchLength;
    }
    start = static_cast<std::uint32_t>(m.seenBytes);
  }
  for (int i = 0; i < PackOrders; ++i) m.tableBase[i] = contextHash(m.history, i);
  m.partial = 1;
  m.bitIndex = 0;
}

} // namespace

bool openPackModel(PackModel& model, std::size_t totalBytes) {
  std::memset(&model, 0, sizeof model);
  model.counters = static_cast<std::uint32_t*>(std::malloc(sizeof(std::uint32_t) * PackOrders * TableEntries));
  model.matchStart = static_cast<std::uint32_t*>(std::calloc(std::size_t(1) << MatchHashBits, sizeof(std::uint32_t)));
  model.seen = static_cast<unsigned char*>(std::malloc(totalBytes + 1));
  if (!model.counters || !model.matchStart || !model.seen) {
    closePackModel(model);
    return false;
  }
  for (std::uint32_t i = 0; i < PackOrders * TableEntries; ++i) model.counters[i] = CounterStart;
  for (auto& pair : model.matchCounters) pair[0] = pair[1] = CounterStart;
  for (std::uint32_t n = 0; n <= CounterLimit; ++n) model.rates[n] = (2u << RateShift) / (2 * n + 3);
  for (auto& set : model.weights)
    for (auto& w : set) w = WeightStart;
  // stretch is squash's inverse: the smallest x whose squash reaches each probability.
  std::int32_t next = 0;
  for (std::int32_t x = -StretchLimit; x <= StretchLimit; ++x)
    for (std::int32_t v = squash(x); next <= v; ++next) model.stretchTable[next] = static_cast<std::int16_t>(x);
  for (; next <= ProbabilityMax; ++next) model.stretchTable[next] = StretchLimit;
  startByte(model);
  predict(model);
  return true;
}

void closePackModel(PackModel& model) {
  std::free(model.counters);
  std::free(model.matchStart);
  std::free(model.seen);
  model.counters = model.matchStart = nullptr;
  model.seen = nullptr;
}

void learnPackBit(PackModel& m, std::int32_t bit) {
  const std::int32_t error = ((bit << PackProbabilityBits) - m.prediction);
  std::int32_t* w = m.weights[m.bitIndex];
  for (int i = 0; i < PackInputs; ++i) w[i] += (m.stretched[i] * error) >> MixerRateShift;
  for (int i = 0; i < PackOrders; ++i) train(*m.slot[i], bit, m.rates);
  if (m.matchCounter) train(*m.matchCounter, bit, m.rates);
  m.partial = (m.partial << 1) | static_cast<std::uint32_t>(bit);
  if (++m.bitIndex == ByteBits) {
    const auto value = static_cast<unsigned char>(m.partial);
    m.history = (m.history << ByteBits) | value;
    m.seen[m.seenBytes++] = value;
    startByte(m);
  }
  predict(m);
}
