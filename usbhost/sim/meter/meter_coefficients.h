// The correction a loaded sensor data table gives at a wavelength. A table
// is big-endian: 16-byte header (record count at offset 2), then records of
// an unsigned 16-bit wavelength in nm and a 32-bit IEEE float coefficient,
// then the 2-byte check value. The displayed power is the optical input
// multiplied by the coefficient.
#ifndef LX40_USBHOST_SIM_METER_METER_COEFFICIENTS_H
#define LX40_USBHOST_SIM_METER_METER_COEFFICIENTS_H

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "meter/meter_config.h"

namespace usbsim {

using SlotTables = std::array<std::optional<std::vector<uint8_t>>, kMeterSlotCount>;

// The coefficient at `wavelength_nm`: a record's own where one has that
// wavelength, otherwise linear between the two neighbouring records that
// enclose it. Empty when the table does not cover the wavelength, is too
// short for its record count, or gives a coefficient that is not finite.
std::optional<double> TableCoefficient(const std::vector<uint8_t>& table, int32_t wavelength_nm);

// The coefficient of the lowest-numbered slot whose table covers the
// wavelength; empty when none does (the input is shown uncorrected).
std::optional<double> SlotCoefficient(const SlotTables& slots, int32_t wavelength_nm);

}  // namespace usbsim

#endif
