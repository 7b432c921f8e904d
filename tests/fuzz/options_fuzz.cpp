// The launcher's option parsing on any command line: the input is split at zero bytes
// into arguments. It either accepts the line with options in their ranges or refuses it
// with a message; it never crashes, hangs or reads outside the arguments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/launcher/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words{"nyra"};
  std::string word;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += char(data[i]);
    }
  }
  if (!word.empty()) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  argv.push_back(nullptr);
  launcher::ParsedOptions parsed = launcher::parseLaunchOptions(int(words.size()), argv.data());
  if (!parsed.ok && parsed.error.empty()) std::abort(); // a refusal says why
  if (parsed.ok) {
    const launcher::LaunchOptions& o = parsed.options;
    if (o.escapeAfterFrames < 0) std::abort();
    if (o.captureKind != launcher::CaptureKind::None &&
        (o.captureFramesPerSecond < 1 || o.captureFramesPerSecond > 240 || o.captureSeconds < 0 ||
         o.captureWidth < 640 || o.captureHeight < 480))
      std::abort();
  }
  return 0;
}
