// lx40 and the Python package as separate processes on the mocked device
// files (they inherit umockdev's preload and the testbed from this program):
// the listing with ports, a setup of two meters whose slots then hold the
// built-in tables byte for byte, and Python's list.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "meter/virtual_meter.h"
#include "usbfs_testbed.h"

namespace usbfs_test {
namespace {

struct ProgramRun {
  int status;
  std::string out;
};

ProgramRun RunProgram(const std::string& command) {
  ProgramRun run{-1, ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> block{};
  size_t got = 0;
  while ((got = std::fread(block.data(), 1, block.size(), pipe)) > 0)
    run.out.append(block.data(), got);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::shared_ptr<usbsim::VirtualMeter> MeterWithSerial(const std::string& serial) {
  usbsim::MeterConfig config;
  config.serial = serial;
  return std::make_shared<usbsim::VirtualMeter>(config);
}

// Whether some slot of `meter` holds exactly `table`.
bool Holds(const usbsim::VirtualMeter& meter, const std::vector<uint8_t>& table) {
  for (int slot = 0; slot < usbsim::kMeterSlotCount; ++slot) {
    if (meter.SlotContent(slot) == table) return true;
  }
  return false;
}

class ProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bed_.AddRootHub(3, 2);
    bed_.AddMeter(3, {1}, 7, first_);
    bed_.AddHub(3, {2}, 8, 4);
    bed_.AddMeter(3, {2, 3}, 9, second_);
    folder_ = ::testing::TempDir() + "usbfs_programs";
    std::system(("mkdir -p " + folder_).c_str());
  }

  UsbfsTestbed bed_;
  std::shared_ptr<usbsim::VirtualMeter> first_ = MeterWithSerial("A00000001");
  std::shared_ptr<usbsim::VirtualMeter> second_ = MeterWithSerial("A00000002");
  std::string folder_;
};

TEST_F(ProgramsTest, Lx40ListsAndSetsUpTwoMetersByteExact) {
  const ProgramRun list = RunProgram(std::string(LX40_PROGRAM) + " list");
  EXPECT_EQ(list.status, 0) << list.out;
  EXPECT_NE(list.out.find("A00000001"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("A00000002"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find(" 3-1\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find(" 3-2.3\n"), std::string::npos) << list.out;

  for (const char* type : {"8010", "8011"}) {
    const ProgramRun exported = RunProgram(std::string(LX40_PROGRAM) + " table export " + type +
                                           " " + folder_ + "/" + type + ".bin");
    ASSERT_EQ(exported.status, 0) << exported.out;
  }
  const ProgramRun setup =
      RunProgram(std::string(LX40_PROGRAM) + " setup --record " + folder_ + "/record.jsonl");
  EXPECT_EQ(setup.status, 0) << setup.out;
  for (const auto& meter : {first_, second_}) {
    EXPECT_TRUE(Holds(*meter, FileBytes(folder_ + "/8010.bin"))) << meter->Config().serial;
    EXPECT_TRUE(Holds(*meter, FileBytes(folder_ + "/8011.bin"))) << meter->Config().serial;
  }
  EXPECT_FALSE(bed_.Claimed(3, 7));
  EXPECT_FALSE(bed_.Claimed(3, 9));
}

TEST_F(ProgramsTest, PythonListsTheMetersAndLoadsATable) {
  const ProgramRun exported =
      RunProgram(std::string(LX40_PROGRAM) + " table export 8011 " + folder_ + "/8011.bin");
  ASSERT_EQ(exported.status, 0) << exported.out;
  const std::string command = "LX40_METERLINK=" + std::string(LX40_METERLINK) +
                              " PYTHONPATH=" + std::string(LX40_PYTHON_SOURCE) +
                              " python3 -c 'import lx40\n"
                              "for m in lx40.list_meters(): print(m.serial)\n"
                              "with lx40.open_port(\"3-2.3\") as meter:\n"
                              "    meter.load_table(open(\"" +
                              folder_ + "/8011.bin\", \"rb\").read())\n'";
  const ProgramRun run = RunProgram(command);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "A00000001\nA00000002\n");
  EXPECT_TRUE(Holds(*second_, FileBytes(folder_ + "/8011.bin")));
  EXPECT_FALSE(Holds(*first_, FileBytes(folder_ + "/8011.bin")));
}

// A user who may not open a meter's device file (here: nobody, with the file
// root's alone) still sees the meter and is told what to do, never "no
// meter found" (the other meter's file is open to all).
TEST_F(ProgramsTest, AMeterWhoseFileMayNotBeOpenedIsReportedByName) {
  const std::string root = bed_.RootDir();
  // Everything may be used (sysfs, the folders, umockdev's sockets); only
  // the first meter's device file is refused.
  std::system(
      ("chmod -R a+rwX " + root + " && chmod 0600 " + root + "/dev/bus/usb/003/007").c_str());
  const ProgramRun list = RunProgram("setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                     std::string(LX40_PROGRAM) + " list");
  EXPECT_NE(list.out.find("no permission for /dev/bus/usb/003/007: install the udev rules"),
            std::string::npos)
      << list.out;
  EXPECT_EQ(list.out.find("no meter found"), std::string::npos) << list.out;
  EXPECT_NE(list.status, 0);
}

}  // namespace
}  // namespace usbfs_test
