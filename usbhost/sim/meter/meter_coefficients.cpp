#include "meter/meter_coefficients.h"

#include <cmath>
#include <cstring>

namespace usbsim {

namespace {

constexpr size_t kHeaderSize = 16;
constexpr size_t kRecordSize = 6;
constexpr size_t kTrailerSize = 2;

uint16_t U16At(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

float F32At(const std::vector<uint8_t>& bytes, size_t at) {
  const uint32_t bits = (static_cast<uint32_t>(bytes[at]) << 24) |
                        (static_cast<uint32_t>(bytes[at + 1]) << 16) |
                        (static_cast<uint32_t>(bytes[at + 2]) << 8) | bytes[at + 3];
  float value = 0.0f;
  static_assert(sizeof value == sizeof bits);
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

struct Record {
  int32_t nm;
  double coefficient;
};

Record RecordAt(const std::vector<uint8_t>& table, size_t index) {
  const size_t at = kHeaderSize + index * kRecordSize;
  return {U16At(table, at), static_cast<double>(F32At(table, at + 2))};
}

}  // namespace

std::optional<double> TableCoefficient(const std::vector<uint8_t>& table, int32_t wavelength_nm) {
  if (table.size() < kHeaderSize + kTrailerSize) return std::nullopt;
  const size_t records = U16At(table, 2);
  if (records == 0 || table.size() < kHeaderSize + records * kRecordSize + kTrailerSize)
    return std::nullopt;

  std::optional<double> found;
  for (size_t i = 0; i < records && !found; ++i) {
    const Record record = RecordAt(table, i);
    if (record.nm == wavelength_nm) {
      found = record.coefficient;
    } else if (i + 1 < records) {
      const Record next = RecordAt(table, i + 1);
      if (record.nm < wavelength_nm && wavelength_nm < next.nm) {
        const double t = static_cast<double>(wavelength_nm - record.nm) / (next.nm - record.nm);
        found = record.coefficient + t * (next.coefficient - record.coefficient);
      }
    }
  }
  if (found && !std::isfinite(*found)) return std::nullopt;
  return found;
}

std::optional<double> SlotCoefficient(const SlotTables& slots, int32_t wavelength_nm) {
  for (const std::optional<std::vector<uint8_t>>& table : slots) {
    if (!table) continue;
    const std::optional<double> coefficient = TableCoefficient(*table, wavelength_nm);
    if (coefficient) return coefficient;
  }
  return std::nullopt;
}

}  // namespace usbsim
