// xminfo FILE.xm: what the player's loader makes of an XM module. Prints the header, the
// order list, the patterns and every instrument's samples, or why the module is refused.
// Exit status: 0 loaded, 1 refused, 2 usage or file error.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "direction/memoryfile.h"
#include "player/loadnotes.h"
#include "player/modulefile.h"
#include "player/song.h"

namespace {

constexpr int OrdersPerLine = 16;
constexpr int ExitLoaded = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;

// The module bytes for the open operation; createSong's source points at them.
struct ModuleBytes {
  std::vector<std::uint8_t> bytes;
};

void* openModuleBytes(const void* source) {
  const auto* module = static_cast<const ModuleBytes*>(source);
  return openMemoryFile(module->bytes.data(), static_cast<std::int32_t>(module->bytes.size()));
}

bool readFile(const char* path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Names are raw bytes from the file: control characters would upset a terminal.
std::string printable(const char* name) {
  std::string text(name);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) c = '.';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

const char* loopName(std::uint8_t loopKind) {
  switch (loopKind) {
  case LoopForward: return "forward";
  case LoopPingPong: return "ping-pong";
  default: return "none";
  }
}

void printHeader(const Song& song, const XmLoadNotes& notes) {
  std::printf("name:         \"%s\"\n", printable(notes.moduleName).c_str());
  std::printf("tracker:      \"%s\", format version %X.%02X\n",
              printable(notes.trackerName).c_str(), notes.version >> 8, notes.version & 0xFF);
  std::printf("file size:    %lld bytes\n", static_cast<long long>(notes.fileSize));
  std::printf("channels:     %d\n", song.numChannels);
  std::printf("song length:  %d\n", song.songLength);
  std::printf("restart:      %d", song.restartPosition);
  if (notes.restartPosition != song.restartPosition)
    std::printf(" (declared %d, outside the song)", notes.restartPosition);
  std::printf("\npatterns:     %d in the file, %d used by the order list, %d in all\n",
              notes.patternCount, song.usedPatterns, song.numPatterns);
  std::printf("instruments:  %d\n", song.numInstruments);
  std::printf("flags:        0x%04X (%s frequency table)\n", song.flags,
              (song.flags & SongFlagLinear) ? "linear" : "Amiga");
  std::printf("speed:        %d ticks per row\n", song.defaultSpeed);
  std::printf("BPM:          %d\n", song.defaultBpm);
  if (notes.fileEndsEarly) {
    char where[XmPlaceTextBytes];
    describeFileEnd(notes.fileEnd, notes.fileEndInsidePart, where, sizeof where);
    std::printf("warning:      the file ends early (%s); the missing parts read as empty\n",
                where);
  }
}

void printOrders(const Song& song) {
  std::printf("\norder list:");
  for (int i = 0; i < song.songLength; ++i)
    std::printf("%s%3d", i % OrdersPerLine ? " " : "\n  ", song.orderTable[i]);
  std::printf("\n\npatterns (rows):");
  for (int p = 0; p < song.numPatterns; ++p)
    std::printf("%s%d:%d", p % OrdersPerLine ? "  " : "\n  ", p, song.patterns[p].rows);
  std::printf("\n");
}

void printSample(const Sample& sample, const XmSampleNotes& notes, int index) {
  std::printf("      sample %d \"%s\": %d-bit%s, length %u", index, printable(notes.name).c_str(),
              notes.fileBits, notes.packed ? " (4-bit packed)" : "", sample.length);
  if (notes.cutByFileEnd) std::printf(" (cut by the end of the file)");
  std::printf(", loop %s", loopName(sample.loopKind));
  if (sample.loopKind != LoopNone)
    std::printf(" start %u length %u", sample.loopStart, sample.loopLength);
  if (notes.loopClamped) std::printf(" (clamped into the sample)");
  std::printf(", volume %d, finetune %d, relative note %d, panning %d\n", sample.volume,
              sample.finetune, sample.relativeNote, sample.panning);
}

void printEnvelope(const char* label, std::uint8_t type, std::uint8_t points) {
  if (!(type & EnvelopeOn)) return;
  std::printf(", %s envelope %d points%s%s", label, points,
              (type & EnvelopeSustain) ? " sustain" : "", (type & EnvelopeLoop) ? " loop" : "");
}

void printInstruments(const Song& song, const XmLoadNotes& notes) {
  std::printf("\ninstruments:\n");
  for (int i = 0; i < song.numInstruments; ++i) {
    const Instrument& ins = song.instruments[i];
    const XmInstrumentNotes& insNotes = notes.instruments[i];
    std::printf("  instrument %d \"%s\": %d sample%s, fadeout %d", i + 1,
                printable(insNotes.name).c_str(), ins.numSamples, ins.numSamples == 1 ? "" : "s",
                ins.volumeFadeout);
    printEnvelope("volume", ins.volumeType, ins.numVolumePoints);
    printEnvelope("panning", ins.panningType, ins.numPanningPoints);
    if (ins.vibratoDepth)
      std::printf(", auto-vibrato depth %d rate %d", ins.vibratoDepth, ins.vibratoRate);
    std::printf("\n");
    for (int s = 0; s < ins.numSamples; ++s) printSample(*ins.samples[s], insNotes.samples[s], s);
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: xminfo FILE.xm\n");
    return ExitUsage;
  }
  ModuleBytes module;
  if (!readFile(argv[1], module.bytes)) {
    std::fprintf(stderr, "xminfo: cannot read %s\n", argv[1]);
    return ExitUsage;
  }
  if (module.bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
    std::fprintf(stderr, "xminfo: %s: refused: the file is larger than 2 GB\n", argv[1]);
    return ExitRefused;
  }
  installFileCallbacks(openModuleBytes, memoryClose, memoryRead, memorySeek, memoryTell);
  auto notes = std::make_unique<XmLoadNotes>();
  const char* reason = nullptr;
  Song* song = createSongWithNotes(&module, nullptr, &reason, notes.get());
  if (!song) {
    std::fprintf(stderr, "xminfo: %s: refused: %s\n", argv[1], reason);
    return ExitRefused;
  }
  std::printf("file:         %s\n", argv[1]);
  printHeader(*song, *notes);
  printOrders(*song);
  printInstruments(*song, *notes);
  freeSongData(song);
  return ExitLoaded;
}
