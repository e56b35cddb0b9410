// lx40 setup with a meter that hangs mid-table (the simulator's hang fault
// from the meter file, its read limit shortened): that meter fails with the
// wizard's words soon, its slot stays empty, and the others are set up.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

const std::string kSignalError = "Signal error. Check the USB connection.";

TEST_F(Lx40Test, HungMeterFailsWithSignalErrorSoonWhileTheOthersAreSetUp) {
  // Exchange 300 is in the middle of the long table. Every record waiting
  // out the 300 ms limit would take minutes; the third empty answer ends it.
  const auto env = Environment(
      "[meter]\nserial = G1\n"
      "[meter]\nserial = H2\nhang_from = 300\nread_limit_ms = 300\n"
      "[meter]\nserial = G3\n");
  const std::string record = Path("record.jsonl");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run({"setup", "--record", record}, env), 1) << Err();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));

  const std::vector<Json> records = JsonLines(ReadFile(record));
  ASSERT_EQ(records.size(), 3u);
  const Json* hung = BySerial(records, "H2");
  ASSERT_NE(hung, nullptr);
  EXPECT_EQ(hung->at("result"), "failed");
  EXPECT_EQ(hung->at("message"), kSignalError);
  EXPECT_NE(Err().find("H2: " + kSignalError), std::string::npos) << Err();
  for (const char* serial : {"G1", "G3"}) {
    const Json* unit = BySerial(records, serial);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->at("result"), "set") << serial;
  }
  const Json state = State();
  EXPECT_EQ(state.at("open_handles"), 0);
  EXPECT_EQ(StoredHex(MeterState(state, "H2"), 1), "");
  EXPECT_EQ(StoredHex(MeterState(state, "G1"), 1), HexOf(BuiltInTable(8010)));
  EXPECT_EQ(StoredHex(MeterState(state, "G3"), 3), HexOf(BuiltInTable(8011)));
}

}  // namespace
}  // namespace lx40test
