#include "check/preview.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;
using Format = PictureHeader::Format;

std::string BigEndian(uint32_t value, int bytes = 4) {
  std::string out;
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out += static_cast<char>((value >> shift) & 0xFF);
  }
  return out;
}

// A chunk with a CRC that nothing here checks.
std::string Chunk(const std::string& type, const std::string& data) {
  return BigEndian(static_cast<uint32_t>(data.size())) + type + data + "CRC!";
}

std::string Png(uint32_t width, uint32_t height, uint32_t headerLength = 13) {
  return "\x89PNG\r\n\x1A\n"s + BigEndian(headerLength) + "IHDR" + BigEndian(width) +
         BigEndian(height) + "\x08\x06\0\0\0"s + "CRC!" + Chunk("IDAT", "pixels") +
         Chunk("IEND", "");
}

std::string Jpeg(const std::string& segments) { return "\xFF\xD8"s + segments + "\xFF\xD9"s; }

std::string Segment(unsigned char marker, const std::string& data) {
  return "\xFF"s + static_cast<char>(marker) +
         BigEndian(static_cast<uint32_t>(data.size() + 2), 2) + data;
}

// A frame header: precision, height, width, one component.
std::string Frame(unsigned char marker, uint16_t width, uint16_t height) {
  return Segment(marker,
                 "\x08"s + BigEndian(height, 2) + BigEndian(width, 2) + "\x01\x01\x11\x00"s);
}

TEST(ReadPictureHeaderTest, FormatAndSize) {
  const std::string png = Png(256, 128);
  const struct {
    const char* name;
    std::string bytes;
    uint64_t fileSize;  // 0: the bytes are the whole file
    Format format;
    uint32_t width;
    uint32_t height;
  } cases[] = {
      {"PNG", png, 0, Format::kPng, 256, 128},
      {"PNG, 2^31-1 wide", Png(0x7FFFFFFF, 1), 0, Format::kPng, 0x7FFFFFFF, 1},
      {"PNG, only its start read", png.substr(0, 40), 5000, Format::kPng, 256, 128},
      {"JPEG", Jpeg(Segment(0xE0, "JFIF\0"s) + Frame(0xC0, 640, 480)), 0, Format::kJpeg, 640, 480},
      {"progressive JPEG, fill bytes", Jpeg("\xFF\xFF"s + Frame(0xC2, 64, 64)), 0, Format::kJpeg,
       64, 64},
      {"JPEG, a table before the frame", Jpeg(Segment(0xC4, "huffman") + Frame(0xC1, 3, 2)), 0,
       Format::kJpeg, 3, 2},
      {"JPEG, no frame before the scan", Jpeg(Segment(0xDA, "scan") + Frame(0xC0, 8, 8)), 0,
       Format::kJpeg, 0, 0},
      {"JPEG, frame cut off", Jpeg(Segment(0xE1, "Exif")).substr(0, 8) + "\xFF\xC0\0\x11\x08"s, 0,
       Format::kJpeg, 0, 0},
      {"JPEG, segment length 0", "\xFF\xD8\xFF\xE0\0\0"s + Frame(0xC0, 8, 8), 0, Format::kJpeg, 0,
       0},
      {"GIF87a", "GIF87a\x20\x03\x58\x02"s + std::string(20, '\0'), 0, Format::kGif, 800, 600},
      {"GIF89a, cut short", "GIF89a\x20"s, 0, Format::kGif, 0, 0},
      {"text", "not a picture", 0, Format::kOther, 0, 0},
      {"nothing", "", 0, Format::kOther, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PictureHeader picture =
        ReadPictureHeader(c.bytes, c.fileSize == 0 ? c.bytes.size() : c.fileSize);
    EXPECT_EQ(picture.format, c.format);
    EXPECT_EQ(picture.width, c.width);
    EXPECT_EQ(picture.height, c.height);
    EXPECT_EQ(picture.damage, "");
  }
}

TEST(ReadPictureHeaderTest, TruncatedOrLyingPng) {
  const std::string png = Png(64, 64);
  const size_t idat = 33;  // where the chunk after IHDR starts
  const struct {
    const char* name;
    std::string bytes;
    const char* damage;
  } cases[] = {
      {"signature only", png.substr(0, 8), "ends inside its header, after 8 bytes"},
      {"cut in IHDR", png.substr(0, 30), "ends inside its header, after 30 bytes"},
      {"IHDR of 14 bytes", Png(64, 64, 14),
       "has an IHDR header of 14 bytes, where it is always 13"},
      {"another chunk first", png.substr(0, 12) + "IDAT" + png.substr(16),
       "does not start with its IHDR header"},
      {"no height", Png(64, 0), "claims a size of 64x0 pixels"},
      {"2^31 high", Png(1, 0x80000000), "claims a size of 1x2147483648 pixels"},
      {"cut between chunks", png.substr(0, idat), "ends after 33 bytes without its closing IEND"},
      {"cut in a chunk header", png.substr(0, idat + 5), "ends inside a chunk header, after 38"},
      {"chunk longer than 2^31-1", png.substr(0, idat) + "\x80\0\0\0"s + png.substr(idat + 4),
       "claims to end at byte 2147483693"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PictureHeader picture = ReadPictureHeader(c.bytes, c.bytes.size());
    EXPECT_EQ(picture.format, Format::kPng);
    EXPECT_NE(picture.damage.find(c.damage), std::string::npos) << picture.damage;
    EXPECT_EQ(DescribePicture(picture), "PNG, damaged");
  }
  // A chunk past what was read but inside the file is no damage.
  EXPECT_EQ(ReadPictureHeader(png.substr(0, idat + 10), png.size()).damage, "");
}

TEST(ReadPictureHeaderTest, Described) {
  EXPECT_EQ(DescribePicture(ReadPictureHeader(Jpeg(""), 4)), "JPEG");
  EXPECT_EQ(DescribePicture(ReadPictureHeader("BM....", 6)), "not PNG, JPEG or GIF");
  EXPECT_EQ(ReadPictureHeader("BM....", 6).otherName, "a BMP picture");
}

}  // namespace
