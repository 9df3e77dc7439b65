// Hand-built templates and containers for the codec tests, written byte by
// byte from the record layouts rather than through the codec's encoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <vector>

namespace templates::testing {

using Bytes = std::vector<uint8_t>;

struct RawMinutia {
  int x, y, stored_kind, extra, direction;
};
struct RawSingular {
  int x, y, stored_kind, angle;
};
struct RawLine {
  int first, last;
  Bytes cells;
};

inline void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}
inline void AppendLe16(Bytes& out, int v) {
  Append(out, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
}

// 5-byte record: u16 (x << 7 | y >> 2), (y & 3) << 6 | kind, extra, direction.
inline void AppendMinutia(Bytes& out, const RawMinutia& m) {
  AppendLe16(out, (m.x << 7) | (m.y >> 2));
  Append(out, {static_cast<uint8_t>(((m.y & 3) << 6) | m.stored_kind),
               static_cast<uint8_t>(m.extra), static_cast<uint8_t>(m.direction)});
}

// 4-byte record: u32 x << 21 | y << 12 | kind << 9 | angle.
inline void AppendSingular(Bytes& out, const RawSingular& s) {
  const uint32_t v = (static_cast<uint32_t>(s.x) << 21) | (static_cast<uint32_t>(s.y) << 12) |
                     (static_cast<uint32_t>(s.stored_kind) << 9) | static_cast<uint32_t>(s.angle);
  Append(out, {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
               static_cast<uint8_t>(v >> 24)});
}

inline void AppendLines(Bytes& out, const std::vector<RawLine>& lines) {
  for (const RawLine& line : lines) {
    Append(out, {static_cast<uint8_t>(line.first), static_cast<uint8_t>(line.last)});
    out.insert(out.end(), line.cells.begin(), line.cells.end());
  }
}

// A standard template; its length field is filled in unless told otherwise.
inline Bytes StandardTemplate(uint16_t magic, int grid_size, int quality,
                              const std::vector<RawMinutia>& minutiae,
                              const std::vector<RawSingular>& singular,
                              const std::vector<RawLine>& lines, int length_field = -1) {
  Bytes t;
  AppendLe16(t, magic);
  Append(t, {static_cast<uint8_t>(grid_size << 2)});
  AppendLe16(t, 0);
  Append(t, {static_cast<uint8_t>((minutiae.size() << 2) | singular.size()),
             static_cast<uint8_t>(quality)});
  for (const auto& m : minutiae) AppendMinutia(t, m);
  for (const auto& s : singular) AppendSingular(t, s);
  AppendLines(t, lines);
  const int length = length_field >= 0 ? length_field : static_cast<int>(t.size());
  const int word = (length << 6) | static_cast<int>(lines.size());
  t[3] = static_cast<uint8_t>(word);
  t[4] = static_cast<uint8_t>(word >> 8);
  return t;
}

// A compact template; `grid` is the stream (size bytes included), empty for
// none.
inline Bytes CompactTemplate(int quality, const std::vector<RawMinutia>& minutiae,
                             const std::vector<RawSingular>& singular, const Bytes& grid) {
  Bytes t;
  AppendLe16(t, 0xCAA1);
  const size_t n = minutiae.size();
  Append(t,
         {static_cast<uint8_t>(n & 0xFF),
          static_cast<uint8_t>((grid.empty() ? 0 : 0x80) | (((n >> 8) & 3) << 5) | singular.size()),
          static_cast<uint8_t>(quality)});
  for (const auto& m : minutiae) AppendMinutia(t, m);
  for (const auto& s : singular) AppendSingular(t, s);
  t.insert(t.end(), grid.begin(), grid.end());
  return t;
}

// `count` minutiae spread over the print, all different.
inline std::vector<RawMinutia> SpreadMinutiae(int count) {
  std::vector<RawMinutia> m;
  for (int i = 0; i < count; ++i) {
    m.push_back({(i * 37) % 300 + 50, (i * 53) % 300 + 60, 1 + i % 3, i % 200, (i * 7) % 240});
  }
  return m;
}

// A container block of `length` bytes: byte 2 its position, bytes 3-4 its
// length, the rest a pattern from `seed`.
inline Bytes Block(int length, int position, int seed) {
  Bytes b(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i) b[i] = static_cast<uint8_t>(seed * 31 + i * 7);
  b[2] = static_cast<uint8_t>(position);
  b[3] = static_cast<uint8_t>((b[3] & 0xF0) | ((length >> 8) & 0x0F));
  b[4] = static_cast<uint8_t>(length);
  return b;
}

// A plain container holding the given blocks.
inline Bytes PlainContainer(const std::vector<Bytes>& blocks, uint16_t word1 = 0x1234,
                            uint16_t word2 = 0x5678) {
  Bytes c = {'I', 'C', 'R', 'S', '2', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC5, 0, 0xC5, 0};
  AppendLe16(c, word1);
  AppendLe16(c, word2);
  for (const Bytes& b : blocks) c.insert(c.end(), b.begin(), b.end());
  c[8] = static_cast<uint8_t>(c.size() >> 8);
  c[9] = static_cast<uint8_t>(c.size());
  c[10] = static_cast<uint8_t>(blocks.size());
  return c;
}

// Templates that measure and must shrink, each with a maximum and the bytes
// the shrink must leave.
struct ShrinkCase {
  const char* name;
  Bytes input;
  size_t maximum;
  Bytes expected;
};

inline void PrintTo(const ShrinkCase& c, std::ostream* os) { *os << c.name; }

inline std::vector<ShrinkCase> ShrinkCases() {
  return {
      // No minutiae; the grid stream claims 33 cells a line, so the template
      // ends where it began, at 5 bytes.
      {"CompactWithInvalidGrid",
       {0xA1, 0xCA, 0x00, 0x80, 0x00, 0x20, 0x00},
       100,
       {0xA1, 0xCA, 0x00, 0x00, 0x00}},
      // The length field says 8; decoding takes 7.
      {"StandardLengthFieldBeyondItsEnd",
       {0xA0, 0xCA, 0x00, 0x00, 0x02, 0x00, 0x00},
       100,
       {0xA1, 0xCA, 0x00, 0x00, 0x00}},
      // Minutiae (448, 440), (224, 520), (480, 640): written with y 440, 511,
      // 511, from which the centre is (368, 481) and minutia 1 is the
      // farthest. The raw y would make it minutia 2.
      {"OldWithYAbove511",
       {0x2A, 0x43, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x38, 0xE0,
        0x00, 0x00, 0x50, 0x70, 0x01, 0x00, 0x78, 0xF0, 0x02, 0x00, 0x00},
       19,
       {0xA1, 0xCA, 0x02, 0x00, 0x00, 0x6E, 0xE0, 0x01, 0x00, 0x78, 0x7F, 0xF0, 0xC1, 0x02, 0x78}},
  };
}

}  // namespace templates::testing
