// Fuzz target: the input is a sensor data table file's bytes, as lx40 reads
// one from disk before any meter is touched. mlink_table_check accepts it
// only when every documented rule holds, checked here independently (the
// CRC with the simulated meter's own code); it never reads outside the
// bytes. The first input byte chooses whether the target first repairs the
// size field, the record count and the CRC, so the later checks are reached.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "meter/meter_crc.h"
#include "mlink.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void PutBigEndian16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

uint16_t BigEndian16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  // An exact-size heap copy: the address sanitizer sees any read past it.
  std::vector<uint8_t> table(data + 1, data + size);
  const size_t n = table.size();
  constexpr size_t kFrame = MLINK_TABLE_HEADER_SIZE + MLINK_TABLE_TRAILER_SIZE;
  if ((mode & 1) != 0 && n >= kFrame && n <= MLINK_TABLE_MAX_SIZE) {
    PutBigEndian16(&table[0], static_cast<uint16_t>(n));
    if ((mode & 2) != 0) {
      PutBigEndian16(&table[2], static_cast<uint16_t>((n - kFrame) / MLINK_TABLE_RECORD_SIZE));
    }
    if ((mode & 4) != 0) {
      PutBigEndian16(&table[n - 2], usbsim::MeterCrc(table.data(), n - 2));
    }
  }

  // An empty file still has an address (an empty vector's data() may be
  // null, which the function refuses as a bad argument).
  static const uint8_t kNothing = 0;
  const uint8_t* bytes = n == 0 ? &kNothing : table.data();
  mlink_table_info info{};
  const int32_t rc = mlink_table_check(bytes, n, &info);
  Check(mlink_table_check(bytes, n, nullptr) == rc);
  if (rc != MLINK_OK) {
    Check(rc == MLINK_ERR_TABLE_SIZE || rc == MLINK_ERR_TABLE_RECORDS ||
          rc == MLINK_ERR_TABLE_SLOT || rc == MLINK_ERR_TABLE_CRC);
    return 0;
  }
  Check(n >= kFrame + MLINK_TABLE_RECORD_SIZE && n <= MLINK_TABLE_MAX_SIZE);
  Check(BigEndian16(&table[0]) == n && info.total_size == n);
  Check(info.records == (n - kFrame) / MLINK_TABLE_RECORD_SIZE &&
        (n - kFrame) % MLINK_TABLE_RECORD_SIZE == 0 && info.records > 0);
  Check(info.slot < MLINK_SLOT_COUNT);
  Check(info.crc == BigEndian16(&table[n - 2]) &&
        usbsim::MeterCrc(table.data(), n - 2) == info.crc);
  Check(info.min_wavelength <= info.max_wavelength);
  return 0;
}
