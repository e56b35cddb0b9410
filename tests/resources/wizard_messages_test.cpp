// The one mapping of Meterlink's result codes to the wizard's messages.
#include "wizard_messages.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "mlink.h"
#include "string_ids.h"

namespace {

// The wizard's message for each result code, as the wizard shows it and
// lx40 quotes it.
TEST(WizardMessages, EachCodeHasTheWizardsMessage) {
  const struct {
    int32_t code;
    uint32_t id;
  } cases[] = {{MLINK_OK, 0},
               {MLINK_DONE, 0},
               {MLINK_RAW_FAILED, 0},
               {MLINK_BAD_ARGUMENT, ids::kMessageSignalError},
               {MLINK_TRANSPORT_FAILED, ids::kMessageSignalError},
               {-3, 0},  // the wizard's own DLL error is the wizard's to map
               {MLINK_NOT_RECOGNISED, ids::kMessageSignalError},
               {MLINK_BATTERY_LOW, ids::kMessageNoBattery},
               {MLINK_NOT_A_METER, 0},
               {MLINK_SENSOR_OR_MEMORY, ids::kMessageSignalError},
               {MLINK_MODE_OR_NO_DATA, 0},
               {MLINK_ERR_NO_SUCH_METER, 0},
               {MLINK_ERR_HANDSHAKE, ids::kMessageSignalError},
               {MLINK_ERR_NO_ANSWER, ids::kMessageSignalError},
               {MLINK_ERR_LOAD_ABANDONED, 0},
               {INT32_MIN, 0},
               {INT32_MAX, 0}};
  for (const auto& c : cases) EXPECT_EQ(WizardMessageId(c.code), c.id) << "code " << c.code;
}

}  // namespace
