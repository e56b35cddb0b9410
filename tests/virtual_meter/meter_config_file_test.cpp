// The text file that describes simulated meters.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "meter/meter_config_file.h"
#include "meter/sim_line.h"

namespace {

using usbsim::MeterPlacement;
using usbsim::ParseMeterConfigText;

TEST(MeterConfigFile, EveryKeyIsRead) {
  const std::string text =
      "\xEF\xBB\xBF# two meters\r\n"
      "[meter]\r\n"
      "serial = Z98765432\r\n"
      "model = LX41\n"
      "maker = Acme\n"
      "version = 205\n"
      "slots = 1010001\n"
      "battery = low\n"
      "latency_us = 2500\n"
      "behind_hub = yes\n"
      "wrong_echo_at = 15\n"
      "nak_header\n"
      "nak_trailer = yes\n"
      "silent_from = 9\n"
      "hang_from = 11\n"
      "read_limit_ms = 150\n"
      "unplug_at = 12\n"
      "replug_after_ms = 700\n"
      "error_reply = BTRY=MEM_ERR\n"
      "error_reply = IDN=DATA_ERR\n"
      "no_cr = TEST\n"
      "long_reply = IDN\n"
      "split_reply = QPID:3\n"
      "\n"
      "  ; second meter, all defaults\n"
      "[meter]\n"
      "  serial=A1\n";
  std::vector<MeterPlacement> meters;
  ASSERT_EQ(ParseMeterConfigText(text, &meters), "");
  ASSERT_EQ(meters.size(), 2u);

  const usbsim::MeterConfig& c = meters[0].config;
  EXPECT_EQ(c.serial, "Z98765432");
  EXPECT_EQ(c.model, "LX41");
  EXPECT_EQ(c.maker, "Acme");
  EXPECT_EQ(c.version, "205");
  EXPECT_EQ(c.slots_filled, (std::array<bool, 7>{true, false, true, false, false, false, true}));
  EXPECT_TRUE(c.battery_low);
  EXPECT_EQ(c.latency, std::chrono::microseconds(2500));
  EXPECT_TRUE(meters[0].behind_hub);
  EXPECT_EQ(c.faults.wrong_echo_at, 15);
  EXPECT_TRUE(c.faults.nak_header);
  EXPECT_TRUE(c.faults.nak_trailer);
  EXPECT_EQ(c.faults.silent_from, 9);
  EXPECT_EQ(c.faults.unplug_at, 12);
  EXPECT_EQ(c.faults.hang_from, 11);
  EXPECT_EQ(c.faults.replug_after, std::chrono::milliseconds(700));
  EXPECT_EQ(c.read_limit, std::chrono::milliseconds(150));
  EXPECT_EQ(c.faults.error_replies,
            (std::map<std::string, std::string>{{"BTRY", "MEM_ERR"}, {"IDN", "DATA_ERR"}}));
  EXPECT_EQ(c.faults.no_cr, (std::set<std::string>{"TEST"}));
  EXPECT_EQ(c.faults.long_reply, (std::set<std::string>{"IDN"}));
  EXPECT_EQ(c.faults.split_reply, (std::map<std::string, uint32_t>{{"QPID", 3}}));

  const usbsim::MeterConfig defaults;
  const usbsim::MeterConfig& d = meters[1].config;
  EXPECT_EQ(d.serial, "A1");
  EXPECT_EQ(d.model, defaults.model);
  EXPECT_EQ(d.maker, defaults.maker);
  EXPECT_EQ(d.version, defaults.version);
  EXPECT_FALSE(d.battery_low);
  EXPECT_FALSE(meters[1].behind_hub);
  EXPECT_EQ(d.faults.wrong_echo_at, -1);
  EXPECT_FALSE(d.faults.nak_header);
  EXPECT_EQ(d.faults.hang_from, 0);
  EXPECT_EQ(d.read_limit, std::chrono::milliseconds(2000));
  EXPECT_TRUE(d.faults.error_replies.empty());
}

// A serial number may hold any byte a real meter could send, written
// \xNN, so tests can make meters whose serials are not printable ASCII.
TEST(MeterConfigFile, SerialEscapesBecomeTheirBytes) {
  std::vector<MeterPlacement> meters;
  ASSERT_EQ(ParseMeterConfigText("[meter]\nserial = A\\xE9\\xff\\x1B1\\x5C\n[meter]\nserial = "
                                 "\\x80\n",
                                 &meters),
            "");
  ASSERT_EQ(meters.size(), 2u);
  EXPECT_EQ(meters[0].config.serial,
            "A\xE9\xFF\x1B"
            "1\\");
  EXPECT_EQ(meters[1].config.serial, "\x80");
}

TEST(MeterConfigFile, EmptyTextGivesNoMeters) {
  std::vector<MeterPlacement> meters(1);
  EXPECT_EQ(ParseMeterConfigText("", &meters), "");
  EXPECT_TRUE(meters.empty());
  EXPECT_EQ(ParseMeterConfigText("# nothing\n\n", &meters), "");
}

struct BadLineCase {
  const char* text;
  const char* error_start;  // the message begins with this
};

class MeterConfigFileErrorTest : public testing::TestWithParam<BadLineCase> {};

TEST_P(MeterConfigFileErrorTest, ReportsTheLineAndKeepsNothing) {
  std::vector<MeterPlacement> meters(1);
  const std::string error = ParseMeterConfigText(GetParam().text, &meters);
  EXPECT_EQ(error.rfind(GetParam().error_start, 0), 0u) << error;
  EXPECT_TRUE(meters.empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadLines, MeterConfigFileErrorTest,
    testing::Values(
        BadLineCase{"serial = A1\n", "line 1: setting outside a [meter] section"},
        BadLineCase{"[meter]\nserial = A1\n[metre]\n", "line 3: unknown section"},
        BadLineCase{"[meter]\nserail = A1\n", "line 2: unknown key 'serail'"},
        BadLineCase{"[meter]\nserial = A1\nserial = A2\n", "line 3: duplicate key"},
        BadLineCase{"[meter]\nserial\n", "line 2: expected key = value"},
        BadLineCase{"[meter]\n= A1\n", "line 2: missing key"},
        BadLineCase{"[meter]\nserial =\n", "line 2: serial must be"},
        BadLineCase{"[meter]\nserial = A1\nslots = 010000\n", "line 3: slots"},
        BadLineCase{"[meter]\nserial = A1\nslots = 01000002\n", "line 3: slots"},
        BadLineCase{"[meter]\nserial = A1\nslots = 0100020\n", "line 3: slots"},
        BadLineCase{"[meter]\nserial = A1\nbattery = empty\n", "line 3: battery"},
        BadLineCase{"[meter]\nserial = A1\nlatency_us = -1\n", "line 3: latency_us"},
        BadLineCase{"[meter]\nserial = A1\nlatency_us = 12ms\n", "line 3: latency_us"},
        BadLineCase{"[meter]\nserial = A1\nlatency_us = 99999999999999999999\n",
                    "line 3: latency_us"},
        BadLineCase{"[meter]\nserial = A1\nbehind_hub = maybe\n", "line 3: behind_hub"},
        BadLineCase{"[meter]\nserial = A1\nwrong_echo_at = 16\n", "line 3: wrong_echo_at"},
        BadLineCase{"[meter]\nserial = A1\nnak_header = sometimes\n", "line 3: nak_header"},
        BadLineCase{"[meter]\nserial = A1\nsilent_from = 0\n", "line 3: silent_from"},
        BadLineCase{"[meter]\nserial = A1\nunplug_at = x\n", "line 3: unplug_at"},
        BadLineCase{"[meter]\nserial = A1\nhang_from = 0\n", "line 3: hang_from"},
        BadLineCase{"[meter]\nserial = A1\nread_limit_ms = 0\n", "line 3: read_limit_ms"},
        BadLineCase{"[meter]\nserial = A1\nreplug_after_ms = 0\n", "line 3: replug_after_ms"},
        BadLineCase{"[meter]\nserial = A1\nread_limit_ms = 60001\n", "line 3: read_limit_ms"},
        BadLineCase{"[meter]\nserial = A1\nerror_reply = BTRY\n", "line 3: error_reply"},
        BadLineCase{"[meter]\nserial = A1\nerror_reply = =MEM_ERR\n", "line 3: error_reply"},
        BadLineCase{"[meter]\nserial = A1\nno_cr =\n", "line 3: no_cr"},
        BadLineCase{"[meter]\nserial = A1\nsplit_reply = IDN\n", "line 3: split_reply"},
        BadLineCase{"[meter]\nserial = A1\nsplit_reply = IDN:0\n", "line 3: split_reply"},
        BadLineCase{"[meter]\nserial = A1\nsplit_reply = IDN:65\n", "line 3: split_reply"},
        BadLineCase{"[meter]\nserial = A\x01\x02\n", "line 2: serial"},
        BadLineCase{"[meter]\nserial = A\\x0D\n", "line 2: serial"},
        BadLineCase{"[meter]\nserial = A\\x2C\n", "line 2: serial"},
        BadLineCase{"[meter]\nserial = A\\x00\n", "line 2: serial"},
        BadLineCase{"[meter]\nserial = A\\xE\n", "line 2: serial"},
        BadLineCase{"[meter]\nserial = A\\\n", "line 2: serial"},
        BadLineCase{"[meter]\nserial = A\\q41\n", "line 2: serial"},
        BadLineCase{"[meter]\nserial = A1\nport = 0\n", "line 3: port"},
        BadLineCase{"[meter]\nserial = A1\nport = 65\n", "line 3: port"},
        BadLineCase{"[meter]\nserial = A1\nport = 1\nport = 2\n", "line 4: duplicate key"},
        BadLineCase{"[meter]\nserial = A1\nplug_after_ms = -1\n", "line 3: plug_after_ms"},
        BadLineCase{"[meter]\nserial = A1\nplug_after_ms = 600001\n", "line 3: plug_after_ms"},
        BadLineCase{"[meter]\nserial = A1\npull_after_ms = 0\n", "line 3: pull_after_ms"},
        BadLineCase{"[meter]\nserial = A1\npull_after_ms = 1s\n", "line 3: pull_after_ms"},
        BadLineCase{"# c\n[meter]\nmodel = LX40\n\n[meter]\nserial = A1\n",
                    "line 2: [meter] without serial"},
        BadLineCase{"[meter]\nserial = A1\n[meter]\n", "line 3: [meter] without serial"}),
    [](const testing::TestParamInfo<BadLineCase>& case_info) {
      return "Case" + std::to_string(case_info.index);
    });

TEST(MeterConfigFile, LineKeysAreRead) {
  std::vector<MeterPlacement> meters;
  ASSERT_EQ(ParseMeterConfigText("[meter]\nserial = L1\nport = 64\nplug_after_ms = 0\n"
                                 "pull_after_ms = 600000\n[meter]\nserial = L2\n",
                                 &meters),
            "");
  ASSERT_EQ(meters.size(), 2u);
  EXPECT_EQ(meters[0].port, 64);
  EXPECT_EQ(meters[0].plug_after, std::chrono::milliseconds(0));
  EXPECT_EQ(meters[0].pull_after, std::chrono::milliseconds(600000));
  EXPECT_EQ(meters[1].port, 0);
  EXPECT_EQ(meters[1].plug_after, usbsim::kDefaultPlugAfter);
  EXPECT_EQ(meters[1].pull_after, std::chrono::milliseconds(0));
}

// Where each meter of a file lands: "R<n>" on root port n, "H<n>" on port n
// of the external hub, "-" waiting in a queue.
struct PlacementCase {
  const char* text;
  std::vector<std::string> places;
};

class MeterPlacementTest : public testing::TestWithParam<PlacementCase> {
 protected:
  void TearDown() override {
    usbsim::StopLine();
    usbsim::Bus::Instance().Reset();
  }
};

TEST_P(MeterPlacementTest, MetersLandOnTheirPorts) {
  std::vector<MeterPlacement> meters;
  ASSERT_EQ(ParseMeterConfigText(GetParam().text, &meters), "");
  const std::vector<usbsim::AttachedMeter> attached = usbsim::BuildConfiguredTopology(meters);
  ASSERT_EQ(attached.size(), GetParam().places.size());
  usbsim::Bus& bus = usbsim::Bus::Instance();
  for (size_t i = 0; i < attached.size(); ++i) {
    const usbsim::AttachedMeter& a = attached[i];
    const bool behind = bus.HubName(a.hub).find("ROOT_HUB") == std::string::npos;
    const std::string place = a.device == 0 ? "-" : (behind ? "H" : "R") + std::to_string(a.port);
    EXPECT_EQ(place, GetParam().places[i]) << "meter " << i;
    if (a.device != 0) {
      EXPECT_TRUE(bus.IsPlugged(a.device));
    }
  }
  int plugged = 0;
  for (const auto& a : attached) plugged += a.device != 0 ? 1 : 0;
  EXPECT_EQ(bus.InterfaceCount(), plugged);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, MeterPlacementTest,
    testing::Values(
        // Without port keys: as always.
        PlacementCase{"[meter]\nserial = A\n[meter]\nserial = B\nbehind_hub = yes\n"
                      "[meter]\nserial = C\n",
                      {"R1", "H1", "R2"}},
        PlacementCase{"[meter]\nserial = A\nport = 2\n[meter]\nserial = B\n"
                      "[meter]\nserial = C\n",
                      {"R2", "R1", "R3"}},
        PlacementCase{"[meter]\nserial = A\nport = 9\n[meter]\nserial = B\nbehind_hub = yes\n"
                      "port = 7\n[meter]\nserial = C\nbehind_hub = yes\n",
                      {"R9", "H7", "H1"}},
        // A queue: only its first meter is plugged at the start.
        PlacementCase{"[meter]\nserial = A\nport = 1\n[meter]\nserial = B\nport = 1\n"
                      "[meter]\nserial = C\n[meter]\nserial = D\nport = 1\n",
                      {"R1", "-", "R2", "-"}},
        PlacementCase{"[meter]\nserial = A\nport = 3\nbehind_hub = yes\n"
                      "[meter]\nserial = B\nport = 3\n[meter]\nserial = C\nport = 3\n"
                      "behind_hub = yes\n",
                      {"H3", "R3", "-"}}),
    [](const testing::TestParamInfo<PlacementCase>& case_info) {
      return "Case" + std::to_string(case_info.index);
    });

TEST(MeterConfigFile, TooManyMetersIsAnError) {
  std::string text;
  for (size_t i = 0; i <= usbsim::kMaxConfiguredMeters; ++i)
    text += "[meter]\nserial = S" + std::to_string(i) + "\n";
  std::vector<MeterPlacement> meters;
  const std::string error = ParseMeterConfigText(text, &meters);
  EXPECT_EQ(error, "line " + std::to_string(2 * usbsim::kMaxConfiguredMeters + 1) + ": more than " +
                       std::to_string(usbsim::kMaxConfiguredMeters) + " meters");
}

TEST(MeterConfigFile, QuotedGarbageInMessagesIsPrintableAndShort) {
  std::vector<MeterPlacement> meters;
  const std::string error =
      ParseMeterConfigText("[meter]\n" + std::string(500, '\x07') + "=1\n", &meters);
  EXPECT_EQ(error.rfind("line 2: unknown key '", 0), 0u);
  EXPECT_LT(error.size(), 80u);
  for (const char c : error) EXPECT_TRUE(c >= 0x20 && c <= 0x7E);
}

TEST(MeterConfigFile, GarbageNeverCrashes) {
  // Random bytes, and random mixes of the file's own tokens; every outcome
  // must be either a parse or a line-numbered error.
  std::mt19937 random(12345);
  const std::vector<std::string> tokens = {
      "[meter]",     "\n",          "=", " ",           "serial",
      "slots",       "0",           "1", "split_reply", ":",
      "IDN",         "error_reply", "#", "\r",          "nak_header",
      "99999999999", "-",           "[", "]",           std::string(1, '\0')};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) {
      if (round % 2 == 0) {
        text.push_back(static_cast<char>(random() % 256));
      } else {
        text += tokens[random() % tokens.size()];
      }
    }
    std::vector<MeterPlacement> meters;
    const std::string error = ParseMeterConfigText(text, &meters);
    if (!error.empty()) {
      EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
  }
}

TEST(MeterConfigFile, MissingFileIsReportedAndLeavesNothing) {
  std::vector<usbsim::AttachedMeter> attached;
  const std::string error = usbsim::LoadMeterConfigFile("/nonexistent/dir/meters.ini", &attached);
  EXPECT_EQ(error.rfind("cannot open", 0), 0u);
  EXPECT_TRUE(attached.empty());
}

}  // namespace
