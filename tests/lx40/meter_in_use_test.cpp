// A meter another program has open (here a second lx40, measuring it) is
// named as in use when it is asked for at its port, never as absent, and
// nothing is sent to it; once that program has ended, the meter is free
// again. Both programs share one lock folder, as every program of a PC
// shares the default one. Under Wine (lx40.exe) this is two Windows
// processes of one user.
#include "lx40_fixture.h"

namespace lx40test {
namespace {

TEST_F(Lx40Test, AMeterOpenInAnotherProgramIsInUseAtItsPort) {
  auto env = Environment("[meter]\nserial = A1\n[meter]\nserial = B2\n");
  env["LX40_METER_LOCK_DIR"] = dir_;
  ASSERT_EQ(Run({"list", "--json"}, env, "list"), 0) << Err("list");
  const std::vector<Json> listed = JsonLines(Out("list"));
  ASSERT_EQ(listed.size(), 2u) << Out("list");
  const std::string port = listed[0].at("port");
  ASSERT_FALSE(port.empty());

  auto holder =
      Start({"measure", "A1", "--count", "100000", "--interval", "20", "--json"}, env, "holder");
  ASSERT_TRUE(holder->WaitForOutput("\n", std::chrono::seconds(60))) << holder->Err();
  EXPECT_NE(Run({"info", "A1", "--port", port}, env, "in-use"), 0);
  const std::string err = Err("in-use");
  EXPECT_NE(err.find("in use by another program"), std::string::npos) << err;
  EXPECT_NE(err.find(port), std::string::npos) << err;
  EXPECT_EQ(err.find("no meter found"), std::string::npos) << err;
  EXPECT_EQ(err.find("no free LX40"), std::string::npos) << err;
  // The other meter is free all along.
  EXPECT_EQ(Run({"info", "B2"}, env, "other"), 0) << Err("other");

  holder->Interrupt();
  holder->Wait(std::chrono::seconds(60));
  EXPECT_EQ(Run({"info", "A1", "--port", port}, env, "free"), 0) << Err("free");
}

}  // namespace
}  // namespace lx40test
