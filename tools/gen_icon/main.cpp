// Writes the program icon of Sensorwiz (wizard/resources/sensorwiz.ico): a
// hand-held optical power meter with a fibre connector on top, a green
// display showing a level bar, and four keys. Two 32 x 32 images, the first
// with 16 colours (4 bits per pixel), the second with 256 colours (8 bits
// per pixel), each a bottom-up device-independent bitmap followed by its
// 1-bit transparency mask, as the icon file format wants them.
//
//   gen_icon <output.ico>
//
// The output depends on nothing but this file, so the icon kept in the tree
// can be rebuilt byte for byte.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;

struct Colour {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// The 16 standard colours of a 4-bit display, in their usual order. The
// 256-colour image uses them as its first 16 entries too.
constexpr std::array<Colour, 16> kStandardColours = {{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

// Picture elements, each drawn with one standard colour in the 16-colour
// image and with a shade of its own in the 256-colour image.
enum Part : uint8_t {
  kClear = 0,  // transparent
  kOutline,
  kBody,
  kBodyLight,
  kBodyDark,
  kConnector,
  kConnectorDark,
  kDisplay,
  kDisplayDark,
  kSegment,
  kKey,
  kKeyDark,
  kBeam,
  kPartCount,
};

struct PartColours {
  uint8_t standardIndex;  // into kStandardColours
  Colour shade;           // the 256-colour image's own colour
};

constexpr std::array<PartColours, kPartCount> kPartColours = {{
    {0, {0, 0, 0}},         // kClear
    {0, {16, 16, 24}},      // kOutline
    {8, {72, 80, 96}},      // kBody
    {7, {136, 144, 160}},   // kBodyLight
    {0, {40, 44, 56}},      // kBodyDark
    {11, {232, 200, 64}},   // kConnector
    {3, {160, 128, 32}},    // kConnectorDark
    {10, {168, 224, 136}},  // kDisplay
    {2, {72, 120, 56}},     // kDisplayDark
    {0, {24, 40, 24}},      // kSegment
    {15, {232, 232, 236}},  // kKey
    {7, {176, 176, 184}},   // kKeyDark
    {9, {240, 48, 40}},     // kBeam
}};

using Picture = std::array<std::array<uint8_t, kSize>, kSize>;  // [y][x], top row first

void Fill(Picture& p, int left, int top, int right, int bottom, Part part) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) p[y][x] = part;
  }
}

Picture DrawMeter() {
  Picture p{};
  // Light leaving the fibre end, above the connector.
  Fill(p, 15, 0, 17, 2, kBeam);
  // Connector sleeve.
  Fill(p, 12, 2, 20, 6, kConnectorDark);
  Fill(p, 13, 2, 19, 5, kConnector);
  // Body with rounded corners, outlined.
  Fill(p, 6, 6, 26, 31, kOutline);
  Fill(p, 7, 7, 25, 30, kBody);
  Fill(p, 7, 7, 25, 8, kBodyLight);
  Fill(p, 7, 7, 8, 30, kBodyLight);
  Fill(p, 24, 8, 25, 30, kBodyDark);
  Fill(p, 8, 29, 25, 30, kBodyDark);
  for (const auto& [x, y] : {std::array<int, 2>{6, 6}, {25, 6}, {6, 30}, {25, 30}}) {
    p[y][x] = kClear;
  }
  // Display: a frame, a level bar and a row of digit-like segments.
  Fill(p, 9, 9, 23, 19, kDisplayDark);
  Fill(p, 10, 10, 22, 18, kDisplay);
  Fill(p, 11, 11, 20, 13, kSegment);
  Fill(p, 20, 11, 21, 13, kDisplayDark);
  for (int x = 11; x < 21; x += 3) Fill(p, x, 15, x + 2, 17, kSegment);
  // Four keys, two by two.
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 2; ++column) {
      const int left = 10 + column * 7;
      const int top = 21 + row * 4;
      Fill(p, left, top, left + 5, top + 3, kKeyDark);
      Fill(p, left, top, left + 4, top + 2, kKey);
    }
  }
  return p;
}

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// One icon image: BITMAPINFOHEADER, colour table, colour bits, mask bits.
std::vector<uint8_t> MakeImage(const Picture& picture, int bitsPerPixel) {
  const int colours = 1 << bitsPerPixel;
  const uint32_t colourRowBytes = static_cast<uint32_t>(((kSize * bitsPerPixel + 31) / 32) * 4);
  const uint32_t maskRowBytes = ((kSize + 31) / 32) * 4;
  const uint32_t bitsSize = (colourRowBytes + maskRowBytes) * kSize;

  std::vector<uint8_t> out;
  PutU32(out, 40);                                   // header size
  PutU32(out, kSize);                                // width
  PutU32(out, kSize * 2);                            // height: colour bits and mask
  PutU16(out, 1);                                    // planes
  PutU16(out, static_cast<uint32_t>(bitsPerPixel));  // bits per pixel
  PutU32(out, 0);                                    // uncompressed
  PutU32(out, bitsSize);
  PutU32(out, 0);  // horizontal resolution
  PutU32(out, 0);  // vertical resolution
  PutU32(out, 0);  // colours used: all
  PutU32(out, 0);  // important colours: all

  // Colour table (blue, green, red, 0). 16 colours: the standard ones, each
  // part mapped to one of them. 256 colours: the standard ones, then one
  // shade per part, then black.
  for (int i = 0; i < colours; ++i) {
    Colour c{0, 0, 0};
    if (i < static_cast<int>(kStandardColours.size())) {
      c = kStandardColours[static_cast<size_t>(i)];
    } else if (i - 16 < kPartCount) {
      c = kPartColours[static_cast<size_t>(i - 16)].shade;
    }
    out.push_back(c.blue);
    out.push_back(c.green);
    out.push_back(c.red);
    out.push_back(0);
  }

  auto indexOf = [bitsPerPixel](uint8_t part) -> uint8_t {
    if (part == kClear) return 0;  // black under a transparent mask bit
    return bitsPerPixel == 4 ? kPartColours[part].standardIndex : static_cast<uint8_t>(16 + part);
  };

  // Colour bits, bottom row first.
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<uint8_t> row(colourRowBytes, 0);
    for (int x = 0; x < kSize; ++x) {
      const uint8_t index = indexOf(picture[y][x]);
      if (bitsPerPixel == 8) {
        row[static_cast<size_t>(x)] = index;
      } else {
        const size_t at = static_cast<size_t>(x / 2);
        row[at] = static_cast<uint8_t>(row[at] | (x % 2 == 0 ? index << 4 : index));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  // Mask bits, bottom row first: 1 = transparent.
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskRowBytes, 0);
    for (int x = 0; x < kSize; ++x) {
      if (picture[y][x] == kClear) {
        row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80u >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<uint8_t> MakeIconFile(const Picture& picture) {
  const std::array<int, 2> depths = {4, 8};
  std::vector<std::vector<uint8_t>> images;
  for (int bits : depths) images.push_back(MakeImage(picture, bits));

  std::vector<uint8_t> out;
  PutU16(out, 0);  // reserved
  PutU16(out, 1);  // type: icon
  PutU16(out, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(kSize);                                  // width
    out.push_back(kSize);                                  // height
    out.push_back(depths[i] == 4 ? 16 : 0);                // colour count (0: 256)
    out.push_back(0);                                      // reserved
    PutU16(out, 1);                                        // planes
    PutU16(out, static_cast<uint32_t>(depths[i]));         // bits per pixel
    PutU32(out, static_cast<uint32_t>(images[i].size()));  // bytes
    PutU32(out, offset);                                   // where
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_icon <output.ico>\n");
    return 2;
  }
  const std::vector<uint8_t> icon = MakeIconFile(DrawMeter());
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const size_t written = std::fwrite(icon.data(), 1, icon.size(), file);
  const bool closed = std::fclose(file) == 0;
  if (written != icon.size() || !closed) {
    std::fprintf(stderr, "gen_icon: could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
