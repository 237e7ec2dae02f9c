#include "check/preview.h"

#include <utility>

#include "check/read_file.h"
#include "check/steam_limits.h"
#include "console/console.h"

namespace {

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1A\n";
constexpr uint64_t kLargestPngNumber = 0x7FFFFFFF;  // lengths, widths and heights

// The `width`-byte big-endian (or little-endian) number at `at`, which the
// caller has checked lies inside `bytes`.
uint32_t Number(std::string_view bytes, size_t at, size_t width, bool bigEndian = true) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + (bigEndian ? i : width - 1 - i)]);
  }
  return value;
}

// Checks the PNG file's header and its chunk lengths; `picture.damage`
// says what is wrong.
void ReadPng(std::string_view bytes, uint64_t fileSize, PictureHeader& picture) {
  // Signature, IHDR length and type, 13 bytes of IHDR, its CRC.
  constexpr size_t kHeaderBytes = 8 + 8 + 13 + 4;
  if (bytes.size() < 16) {
    picture.damage = "ends inside its header, after " + std::to_string(bytes.size()) + " bytes";
    return;
  }
  const uint32_t headerLength = Number(bytes, 8, 4);
  if (bytes.substr(12, 4) != "IHDR") {
    picture.damage = "does not start with its IHDR header";
    return;
  }
  if (headerLength != 13) {
    picture.damage =
        "has an IHDR header of " + std::to_string(headerLength) + " bytes, where it is always 13";
    return;
  }
  if (bytes.size() < kHeaderBytes) {
    picture.damage = "ends inside its header, after " + std::to_string(bytes.size()) + " bytes";
    return;
  }
  const uint32_t width = Number(bytes, 16, 4);
  const uint32_t height = Number(bytes, 20, 4);
  if (width == 0 || height == 0 || width > kLargestPngNumber || height > kLargestPngNumber) {
    picture.damage = "claims a size of " + std::to_string(width) + "x" + std::to_string(height) +
                     " pixels, where each side is from 1 to 2147483647";
    return;
  }
  // Every chunk: length, type, data, CRC; the file ends with IEND.
  uint64_t at = 8;
  for (;;) {
    if (at == fileSize) {
      picture.damage = "ends after " + std::to_string(fileSize) +
                       " bytes without its closing IEND chunk, so it is cut short";
      return;
    }
    if (at + 8 > bytes.size()) {
      if (bytes.size() == fileSize) {
        picture.damage = "ends inside a chunk header, after " + std::to_string(fileSize) +
                         " bytes, so it is cut short";
        return;
      }
      break;  // the rest of the file was not read
    }
    const uint64_t length = Number(bytes, static_cast<size_t>(at), 4);
    const std::string type(bytes.substr(static_cast<size_t>(at) + 4, 4));
    const uint64_t end = at + 12 + length;
    if (length > kLargestPngNumber || end > fileSize) {
      picture.damage = "is " + std::to_string(fileSize) + " bytes long, but its chunk \"" +
                       Excerpt(type, 4) + "\" at byte " + std::to_string(at) +
                       " claims to end at byte " + std::to_string(end) + ", so it is cut short";
      return;
    }
    if (type == "IEND") {
      break;
    }
    at = end;
  }
  picture.width = width;
  picture.height = height;
}

// Finds the size in a JPEG's frame header (SOF0 to SOF15 but DHT, JPG and
// DAC, which share the marker range), walking the segments before it.
void ReadJpeg(std::string_view bytes, PictureHeader& picture) {
  size_t at = 2;  // after the start-of-image marker
  while (at + 4 <= bytes.size() && static_cast<unsigned char>(bytes[at]) == 0xFF) {
    const auto marker = static_cast<unsigned char>(bytes[at + 1]);
    if (marker == 0xFF) {
      ++at;  // fill byte
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      at += 2;  // markers without a segment
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) {
      return;  // end of image or start of scan before any frame header
    }
    const size_t length = Number(bytes, at + 2, 2);
    if (length < 2) {
      return;
    }
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (at + 9 <= bytes.size()) {
        picture.height = Number(bytes, at + 5, 2);
        picture.width = Number(bytes, at + 7, 2);
      }
      return;
    }
    at += 2 + length;
  }
}

}  // namespace

PictureHeader ReadPictureHeader(std::string_view bytes, uint64_t fileSize) {
  PictureHeader picture;
  if (bytes.substr(0, 8) == kPngSignature) {
    picture.format = PictureHeader::Format::kPng;
    ReadPng(bytes, fileSize, picture);
  } else if (bytes.substr(0, 3) == "\xFF\xD8\xFF") {
    picture.format = PictureHeader::Format::kJpeg;
    ReadJpeg(bytes, picture);
  } else if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") {
    picture.format = PictureHeader::Format::kGif;
    if (bytes.size() >= 10) {
      picture.width = Number(bytes, 6, 2, false);
      picture.height = Number(bytes, 8, 2, false);
    }
  } else if (bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "WEBP") {
    picture.otherName = "a WebP picture";
  } else if (bytes.substr(0, 2) == "BM") {
    picture.otherName = "a BMP picture";
  }
  return picture;
}

std::string DescribePicture(const PictureHeader& picture) {
  const char* names[] = {"", "PNG", "JPEG", "GIF"};
  if (picture.format == PictureHeader::Format::kOther) {
    return "not PNG, JPEG or GIF";
  }
  std::string text = names[static_cast<int>(picture.format)];
  if (!picture.damage.empty()) {
    return text + ", damaged";
  }
  if (picture.width != 0 && picture.height != 0) {
    text += " " + std::to_string(picture.width) + "x" + std::to_string(picture.height);
  }
  return text;
}

PreviewCheck CheckPreview(const std::string& path) {
  PreviewCheck check;
  auto add = [&check](FindingKind kind, std::string message) {
    check.diagnostics.push_back(Diagnostic{0, kind, std::move(message)});
  };
  const std::string atTheEnd =
      " modpublish would fail at its last step, after the content and the descriptions were "
      "uploaded.";
  const std::string fix = " Save a square PNG picture under " + kPreviewLimit.Size() + " there";
  std::string bytes;
  const FileStatus read = ReadRegularFile(path, kPreviewLimit.bytes, bytes, check.size);
  if (read != FileStatus::kRead) {
    const char* what = read == FileStatus::kMissing ? "the preview picture is missing;"
                       : read == FileStatus::kNotAFile
                           ? "the preview picture is not a regular file;"
                           : "the preview picture can't be read;";
    add(FindingKind::kPreviewRefused, what + atTheEnd + fix);
    return check;
  }
  check.present = true;
  const bool refused = kPreviewLimit.Refuses(check.size);
  if (refused) {
    add(FindingKind::kPreviewRefused,
        "the preview picture is " + std::to_string(check.size) + " bytes; " +
            kPreviewLimit.Refusal() +
            ", and the publish fails at its last step, after everything else was uploaded. Make it "
            "smaller");
  }
  check.picture = ReadPictureHeader(bytes, check.size);
  if (!refused) {
    check.bytes = std::move(bytes);
  }
  const PictureHeader& picture = check.picture;
  if (picture.format == PictureHeader::Format::kOther) {
    add(FindingKind::kPreviewRefused,
        "the preview picture is " +
            (picture.otherName.empty() ? std::string("not a picture Steam takes")
                                       : picture.otherName) +
            ", not PNG, JPEG or GIF, the formats Steam takes for previews;" + atTheEnd +
            " Save it as PNG");
  } else if (!picture.damage.empty()) {
    add(FindingKind::kPreviewRefused, "the preview picture is damaged: the PNG file " +
                                          picture.damage + ". Steam can't read it;" + atTheEnd +
                                          " Save the picture again as PNG");
  } else if (picture.width != 0 && picture.height != 0 && picture.width != picture.height) {
    add(FindingKind::kPreviewNotSquare,
        "the preview picture is " + std::to_string(picture.width) + "x" +
            std::to_string(picture.height) +
            " pixels, not square; the Workshop shows previews square, so it will look "
            "cropped or squeezed. Make it square");
  }
  return check;
}
