// libpng reports errors by longjmp: the functions that call it keep only plain values
// alive across the setjmp, and the C++ objects outside it.
#include "platform/port/pngfile.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace port {
namespace {

constexpr int PngBitDepth = 8;
constexpr int StoredBytesPerPixel = 3;
constexpr int ReadBytesPerPixel = 4;

// What went wrong inside libpng, kept where the longjmp cannot lose it.
struct PngFailure {
  char text[256] = "";
};

void onPngError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  std::snprintf(failure->text, sizeof failure->text, "%s", message);
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Where the encoded bytes go; a failed write keeps the system's reason (a full disk).
struct PngOutput {
  std::FILE* file;
  PngFailure* failure;
};

void writeBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, length, output->file) == length) return;
  std::snprintf(output->failure->text, sizeof output->failure->text, "%s", std::strerror(errno));
  png_longjmp(png, 1);
}

void flushBytes(png_structp png) { std::fflush(static_cast<PngOutput*>(png_get_io_ptr(png))->file); }

// Writes the rows; false with failure->text set when libpng or the file failed.
bool encodeRows(std::FILE* file, const PngPicture& picture, int level, PngFailure* failure) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, onPngError, onPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(failure->text, sizeof failure->text, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  PngOutput output{file, failure};
  png_set_write_fn(png, &output, writeBytes, flushBytes);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height),
               PngBitDepth, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, level);
  // At the fast level one cheap filter does nearly as well as trying all five per row.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, level <= PngFastLevel ? PNG_FILTER_SUB : PNG_ALL_FILTERS);
  png_write_info(png, info);
  if (picture.order == PixelBytes::Bgrx) png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER); // the fourth byte of each pixel is dropped
  for (int y = 0; y < picture.height; ++y)
    png_write_row(png, picture.bytes + static_cast<std::size_t>(y) * picture.rowBytes);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Reads the whole picture into `out` (resized here, before the setjmp).
bool decodeRows(std::FILE* file, PngPixels& out, PngFailure* failure) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, failure, onPngError, onPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::snprintf(failure->text, sizeof failure->text, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (png_get_rowbytes(png, info) != std::size_t{width} * ReadBytesPerPixel) png_error(png, "unexpected row layout");
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.pixels.assign(std::size_t{width} * height, 0);
  for (png_uint_32 y = 0; y < height; ++y)
    png_read_row(png, reinterpret_cast<png_bytep>(out.pixels.data() + std::size_t{y} * width), nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

} // namespace

std::string writePngFile(const std::string& path, const PngPicture& picture, int level) {
  if (!picture.bytes || picture.width <= 0 || picture.height <= 0 ||
      picture.rowBytes < std::size_t(picture.width) * StoredBytesPerPixel)
    return "no picture to write";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return std::strerror(errno);
  PngFailure failure;
  bool written = encodeRows(file, picture, level, &failure);
  // A full disk often shows only when the buffered bytes go out.
  const int writeError = std::ferror(file) ? errno : 0;
  if (std::fclose(file) != 0 && written) {
    written = false;
    std::snprintf(failure.text, sizeof failure.text, "%s", std::strerror(errno));
  }
  if (written && writeError != 0) {
    written = false;
    std::snprintf(failure.text, sizeof failure.text, "%s", std::strerror(writeError));
  }
  if (written) return {};
  std::remove(path.c_str());
  return failure.text[0] ? failure.text : "the file could not be written";
}

std::string readPngFile(const std::string& path, PngPixels& out) {
  out = PngPixels{};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::strerror(errno);
  PngFailure failure;
  const bool read = decodeRows(file, out, &failure);
  std::fclose(file);
  if (read) return {};
  out = PngPixels{};
  return failure.text[0] ? failure.text : "not a PNG file";
}

} // namespace port
