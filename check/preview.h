// modpublish-check's look at the preview picture, steam_logo.png, which
// modpublish uploads last: whether Steam would take it (PNG, JPEG or GIF,
// under 1 MB) and whether it would look right (square).
#ifndef MODPUBLISH_CHECK_PREVIEW_H_
#define MODPUBLISH_CHECK_PREVIEW_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/finding.h"

// What a picture file's bytes say about it.
struct PictureHeader {
  enum class Format { kOther, kPng, kJpeg, kGif };
  Format format = Format::kOther;
  // Its size in pixels; 0 when the bytes don't tell (a JPEG whose frame
  // header lies beyond them, a damaged PNG).
  uint32_t width = 0;
  uint32_t height = 0;
  // For a PNG whose header is cut short or lies: what is wrong, as words
  // that follow "the PNG file" in a message; "" when it is sound.
  std::string damage;
  // For another format: its name when it is a picture Steam doesn't take
  // ("a WebP picture", "a BMP picture"), else "".
  std::string otherName;
};

// Reads the format and size of the picture whose first bytes are `bytes`;
// `fileSize` is the whole file's size (more than `bytes` holds when only
// its start was read). For a PNG, checks the IHDR chunk (first, 13 bytes
// long, width and height from 1 to 2^31-1) and that no chunk in `bytes`
// runs past the end of the file, nor the file ends before IEND. Never looks
// beyond `bytes`.
PictureHeader ReadPictureHeader(std::string_view bytes, uint64_t fileSize);

struct PreviewCheck {
  bool present = false;  // a regular file that could be read
  uint64_t size = 0;
  PictureHeader picture;
  // The file's bytes when kPreviewLimit doesn't refuse it, else empty.
  std::string bytes;
  // kPreviewRefused: missing, not a regular file, unreadable, a size that
  // kPreviewLimit refuses, not PNG, JPEG or GIF, a damaged PNG.
  // kPreviewNotSquare.
  std::vector<Diagnostic> diagnostics;
};

// Checks the preview picture at `path`; reads at most kPreviewLimit.bytes
// of it.
PreviewCheck CheckPreview(const std::string& path);

// The picture in words for the checker's summary: "PNG 64x64", "JPEG",
// "PNG with a damaged header", "not PNG, JPEG or GIF".
std::string DescribePicture(const PictureHeader& picture);

#endif  // MODPUBLISH_CHECK_PREVIEW_H_
