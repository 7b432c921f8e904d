// Refusal sentences that name what they refuse, and where a file that is cut short ends.
#include <cstdarg>
#include <cstdio>

#include "player/loader.h"

const char* const RefusalOutOfMemory = "out of memory while loading";

namespace {
constexpr std::size_t RefusalTextBytes = 256;
// One refusal per load; the text stays valid until the next load on the same thread.
thread_local char refusal[RefusalTextBytes];

const char* partText(XmPart part) {
  switch (part) {
  case XmPart::Signature: return "the signature";
  case XmPart::Header: return "the module header";
  case XmPart::PatternHeader: return "the header of pattern";
  case XmPart::PatternData: return "the data of pattern";
  case XmPart::InstrumentHeader: return "the header of instrument";
  case XmPart::SampleHeader: return "the header of sample";
  case XmPart::SampleData: return "the data of sample";
  }
  return "an unknown part";
}
} // namespace

void describeFileEnd(const XmPlace& place, bool insidePart, char* text, std::size_t size) {
  const char* where = insidePart ? "inside" : "before";
  switch (place.part) {
  case XmPart::Signature:
  case XmPart::Header: std::snprintf(text, size, "%s %s", where, partText(place.part)); break;
  case XmPart::PatternHeader:
  case XmPart::PatternData:
    std::snprintf(text, size, "%s %s %d", where, partText(place.part), place.pattern);
    break;
  case XmPart::InstrumentHeader:
    std::snprintf(text, size, "%s %s %d", where, partText(place.part), place.instrument);
    break;
  case XmPart::SampleHeader:
  case XmPart::SampleData:
    std::snprintf(text, size, "%s %s %d of instrument %d", where, partText(place.part),
                  place.sample, place.instrument);
    break;
  }
}

const char* refusalText(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(refusal, sizeof refusal, format, arguments);
  va_end(arguments);
  return refusal;
}

const char* refuseCut(const XmReader& reader) {
  char where[XmPlaceTextBytes];
  describeFileEnd(reader.cutPlace, reader.cutInsidePart, where, sizeof where);
  return refusalText("the file is cut short: it ends after %lld bytes, %s",
                     static_cast<long long>(reader.fileSize), where);
}

const char* refuseUnlessCut(const XmReader& reader, const char* reason) {
  return reader.cut ? refuseCut(reader) : reason;
}
