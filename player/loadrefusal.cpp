// Refusal sentences that name what they refuse, and where a file that is cut short ends.
#include <cstdarg>
#include <cstdint>

#include "player/loader.h"

const char* const RefusalOutOfMemory = "out of memory while loading";

namespace {
constexpr std::size_t RefusalTextBytes = 256;
// One refusal per load; the text stays valid until the next load. (Loads run on one
// thread; a per-thread copy would bring the runtime's thread-local support along.)
char refusal[RefusalTextBytes];

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
// Appends to a text of `size` bytes, always ending it with a zero; what does not fit is
// dropped, as snprintf drops it.
struct TextOut {
  char* text;
  std::size_t size;
  std::size_t length = 0;

  void put(char c) {
    if (length + 1 < size) text[length++] = c;
  }
  void end() {
    if (size) text[length < size ? length : size - 1] = 0;
  }
};

// The digits of `value` in base 10 or 16, at least `width` of them padded as `pad` says.
void putNumber(TextOut& out, std::uint64_t value, bool negative, unsigned base, int width, char pad) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value);
  if (negative) --width;
  if (negative && pad == '0') out.put('-');
  for (int i = count; i < width; ++i) out.put(pad);
  if (negative && pad != '0') out.put('-');
  while (count) out.put(digits[--count]);
}

// The conversions the refusals use, without the C runtime's printf: on Windows that
// would be a fifth of the program.
void formatList(char* text, std::size_t size, const char* format, std::va_list arguments) {
  TextOut out{text, size};
  for (const char* f = format; *f; ++f) {
    if (*f != '%') {
      out.put(*f);
      continue;
    }
    ++f;
    char pad = ' ';
    if (*f == '0') pad = '0', ++f;
    int width = 0;
    while (*f >= '0' && *f <= '9') width = width * 10 + (*f++ - '0');
    bool wide = false;
    if (f[0] == 'l' && f[1] == 'l') wide = true, f += 2;
    switch (*f) {
    case 'd': {
      long long v = wide ? va_arg(arguments, long long) : va_arg(arguments, int);
      std::uint64_t magnitude = v < 0 ? 0 - std::uint64_t(v) : std::uint64_t(v);
      putNumber(out, magnitude, v < 0, 10, width, pad);
      break;
    }
    case 'u':
    case 'X': {
      std::uint64_t v = wide ? va_arg(arguments, unsigned long long) : va_arg(arguments, unsigned);
      putNumber(out, v, false, *f == 'u' ? 10 : 16, width, pad);
      break;
    }
    case 's':
      for (const char* c = va_arg(arguments, const char*); *c; ++c) out.put(*c);
      break;
    case '%': out.put('%'); break;
    default: // not used by any refusal; ends the text where it stands
      out.end();
      return;
    }
  }
  out.end();
}
} // namespace

void formatText(char* text, std::size_t size, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  formatList(text, size, format, arguments);
  va_end(arguments);
}

void describeFileEnd(const XmPlace& place, bool insidePart, char* text, std::size_t size) {
  const char* where = insidePart ? "inside" : "before";
  switch (place.part) {
  case XmPart::Signature:
  case XmPart::Header: formatText(text, size, "%s %s", where, partText(place.part)); break;
  case XmPart::PatternHeader:
  case XmPart::PatternData:
    formatText(text, size, "%s %s %d", where, partText(place.part), place.pattern);
    break;
  case XmPart::InstrumentHeader:
    formatText(text, size, "%s %s %d", where, partText(place.part), place.instrument);
    break;
  case XmPart::SampleHeader:
  case XmPart::SampleData:
    formatText(text, size, "%s %s %d of instrument %d", where, partText(place.part),
                  place.sample, place.instrument);
    break;
  }
}

const char* refusalText(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  formatList(refusal, sizeof refusal, format, arguments);
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
