// OpenUSBBulkFile against the simulated bus: which position and pipe a call
// opens, every way it can fail, and that it leaves no handle of its own open.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bulkpipe.h"
#include "bus/sim_bus.h"

namespace {

using usbsim::Bus;
using usbsim::DeviceId;
using usbsim::NodeId;
using usbsim::SimulatedDevice;

// Records what reaches each pipe of one simulated device.
class RecordingEndpoint : public usbsim::PipeEndpoint {
 public:
  bool OnHostWrite(const uint8_t* data, uint32_t size) override {
    written.insert(written.end(), data, data + size);
    return true;
  }
  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    ++reads;
    *done = 0;
    if (size > 0 && !reply.empty()) {
      data[0] = static_cast<uint8_t>(reply[0]);
      *done = 1;
    }
    return true;
  }
  std::vector<uint8_t> written;
  std::string reply;
  int reads = 0;
};

class PipeOpenTest : public ::testing::Test {
 protected:
  void SetUp() override { bus.Reset(); }
  void TearDown() override {
    for (usbhost_handle h : opened) usbhost_close(h);
    EXPECT_EQ(bus.OpenHandleCount(), 0) << "a probe or pipe handle leaked";
    bus.Reset();
  }

  DeviceId PlugMeter(NodeId hub, int port, const std::u16string& serial,
                     std::shared_ptr<RecordingEndpoint> endpoint) {
    SimulatedDevice details;
    details.serial = serial;
    details.pipes = std::move(endpoint);
    return bus.Plug(hub, port, details);
  }

  // Opens and keeps the handle for closing at the end of the test.
  usbhost_handle Open(int32_t pipe, int32_t position) {
    const usbhost_handle h = OpenUSBBulkFile(pipe, position);
    if (h != USBHOST_INVALID) opened.push_back(h);
    return h;
  }

  Bus& bus = Bus::Instance();
  std::vector<usbhost_handle> opened;
};

TEST_F(PipeOpenTest, PipeZeroTakesWritesAndPipeOneGivesReadsOfTheSameMeter) {
  auto endpoint = std::make_shared<RecordingEndpoint>();
  endpoint->reply = "R";
  PlugMeter(bus.AddController(0, 2), 1, u"A00000001", endpoint);

  const usbhost_handle command = Open(0, 0);
  const usbhost_handle reply = Open(1, 0);
  ASSERT_NE(command, USBHOST_INVALID);
  ASSERT_NE(reply, USBHOST_INVALID);
  EXPECT_NE(command, reply);
  EXPECT_EQ(bus.OpenHandleCount(), 2) << "the interface probe was left open";

  uint32_t done = 0;
  ASSERT_EQ(usbhost_write(command, "QPID", 4, &done), 1);
  EXPECT_EQ(std::string(endpoint->written.begin(), endpoint->written.end()), "QPID");
  uint8_t byte = 0;
  ASSERT_EQ(usbhost_read(reply, &byte, 1, &done), 1);
  EXPECT_EQ(done, 1u);
  EXPECT_EQ(byte, 'R');
  // Each handle is on its own pipe: the command pipe is not readable as the
  // reply pipe, nor the reply pipe writable as the command pipe.
  EXPECT_EQ(usbhost_read(command, &byte, 1, &done), 0);
  EXPECT_EQ(usbhost_write(reply, "X", 1, &done), 0);
}

TEST_F(PipeOpenTest, PipePathsAreTheInterfacePathAndTheDecimalPipeNumber) {
  auto endpoint = std::make_shared<RecordingEndpoint>();
  const DeviceId meter = PlugMeter(bus.AddController(0, 2), 1, u"A00000001", endpoint);
  const std::string base = bus.InterfacePath(meter);
  ASSERT_FALSE(base.empty());
  // The files the driver serves are exactly "<path>\0" and "<path>\1", and
  // what OpenUSBBulkFile opens behaves as those.
  const usbhost_handle by_name =
      usbhost_open((base + "\\0").c_str(), USBHOST_GENERIC_READ | USBHOST_GENERIC_WRITE,
                   USBHOST_FILE_SHARE_READ | USBHOST_FILE_SHARE_WRITE);
  ASSERT_NE(by_name, USBHOST_INVALID);
  opened.push_back(by_name);
  uint32_t done = 0;
  const usbhost_handle command = Open(0, 0);
  ASSERT_NE(command, USBHOST_INVALID);
  ASSERT_EQ(usbhost_write(command, "A", 1, &done), 1);
  ASSERT_EQ(usbhost_write(by_name, "B", 1, &done), 1);
  EXPECT_EQ(std::string(endpoint->written.begin(), endpoint->written.end()), "AB");
}

TEST_F(PipeOpenTest, PositionSelectsTheMeterInInterfaceOrder) {
  const NodeId root = bus.AddController(0, 3);
  std::vector<std::shared_ptr<RecordingEndpoint>> endpoints;
  for (int i = 0; i < 3; ++i) {
    endpoints.push_back(std::make_shared<RecordingEndpoint>());
    PlugMeter(root, 3 - i, u"B0000000" + std::u16string(1, static_cast<char16_t>(u'1' + i)),
              endpoints.back());
  }
  for (int position = 0; position < 3; ++position) {
    const usbhost_handle command = Open(0, position);
    ASSERT_NE(command, USBHOST_INVALID) << position;
    uint32_t done = 0;
    const char mark = static_cast<char>('a' + position);
    ASSERT_EQ(usbhost_write(command, &mark, 1, &done), 1);
  }
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(endpoints[i]->written.size(), 1u) << i;
    EXPECT_EQ(endpoints[i]->written[0], 'a' + i) << "plug order is interface order";
  }
}

struct FailingOpen {
  const char* name;
  int32_t pipe;
  int32_t position;
};
void PrintTo(const FailingOpen& c, std::ostream* os) { *os << c.name; }

class FailingOpenTest : public PipeOpenTest, public ::testing::WithParamInterface<FailingOpen> {};

TEST_P(FailingOpenTest, ReturnsInvalidAndLeavesNothingOpen) {
  const NodeId root = bus.AddController(0, 2);
  PlugMeter(root, 1, u"C00000001", std::make_shared<RecordingEndpoint>());
  PlugMeter(root, 2, u"C00000002", std::make_shared<RecordingEndpoint>());
  EXPECT_EQ(Open(GetParam().pipe, GetParam().position), USBHOST_INVALID);
  EXPECT_EQ(bus.OpenHandleCount(), 0);
}

const FailingOpen kFailingOpens[] = {
    {"PositionEqualToTheCount", 0, 2},
    {"PositionBeyondTheCount", 1, 3},
    {"LargestPosition", 0, INT32_MAX},
    {"NegativePosition", 0, -1},
    {"SmallestPosition", 1, INT32_MIN},
    {"PipeTheDriverDoesNotServe", 2, 0},
    {"NegativePipe", -1, 1},
    {"SmallestPipe", INT32_MIN, 0},
    {"PipeNumberWithMoreDigits", 10, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, FailingOpenTest, ::testing::ValuesIn(kFailingOpens),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(PipeOpenTest, NoMeterAttachedFailsEveryPosition) {
  bus.AddController(0, 4);
  for (int32_t position : {0, 1, 5}) {
    EXPECT_EQ(Open(0, position), USBHOST_INVALID);
    EXPECT_EQ(Open(1, position), USBHOST_INVALID);
  }
}

TEST_F(PipeOpenTest, MeterUnpluggedAfterCountingCannotBeOpened) {
  const DeviceId meter =
      PlugMeter(bus.AddController(0, 2), 1, u"D00000001", std::make_shared<RecordingEndpoint>());
  ASSERT_EQ(CheckUSBDevices(nullptr), 1);
  bus.Unplug(meter);
  EXPECT_EQ(Open(0, 0), USBHOST_INVALID);
  EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(PipeOpenTest, MeterUnpluggedBetweenItsTwoPipesLeavesTheFirstHandleFailing) {
  const DeviceId meter =
      PlugMeter(bus.AddController(0, 2), 1, u"D00000002", std::make_shared<RecordingEndpoint>());
  const usbhost_handle command = Open(0, 0);
  ASSERT_NE(command, USBHOST_INVALID);
  bus.Unplug(meter);
  EXPECT_EQ(Open(1, 0), USBHOST_INVALID);
  uint32_t done = 0;
  EXPECT_EQ(usbhost_write(command, "Q", 1, &done), 0);
}

TEST_F(PipeOpenTest, CallAfterAFailedOneWorksNormally) {
  auto endpoint = std::make_shared<RecordingEndpoint>();
  PlugMeter(bus.AddController(0, 2), 1, u"E00000001", endpoint);
  EXPECT_EQ(Open(0, 4), USBHOST_INVALID);       // no interface there
  EXPECT_EQ(Open(123456, 0), USBHOST_INVALID);  // a long suffix left in the path buffer
  const usbhost_handle command = Open(0, 0);
  ASSERT_NE(command, USBHOST_INVALID);
  uint32_t done = 0;
  EXPECT_EQ(usbhost_write(command, "Z", 1, &done), 1);
  EXPECT_EQ(endpoint->written.size(), 1u);
}

// The driver names a meter's interface after its serial number, so the
// serial's length sets the interface path's length: with "\0" the pipe path
// fills the 255 characters exactly, or is one too many.
TEST_F(PipeOpenTest, PipePathOfExactly255CharactersOpensAndOneMoreFailsCleanly) {
  const NodeId root = bus.AddController(0, 2);
  const DeviceId probe = PlugMeter(root, 1, u"X", std::make_shared<RecordingEndpoint>());
  const size_t fixed = bus.InterfacePath(probe).size() - 1;
  bus.Unplug(probe);
  ASSERT_LT(fixed, 253u);

  const size_t fitting_serial = 253 - fixed;  // path 253 + "\0" = 255
  const DeviceId fits = PlugMeter(root, 1, std::u16string(fitting_serial, u'F'),
                                  std::make_shared<RecordingEndpoint>());
  ASSERT_EQ(bus.InterfacePath(fits).size(), 253u);
  EXPECT_NE(Open(0, 0), USBHOST_INVALID);
  for (usbhost_handle h : opened) usbhost_close(h);
  opened.clear();
  bus.Unplug(fits);

  const DeviceId too_long = PlugMeter(root, 2, std::u16string(fitting_serial + 1, u'G'),
                                      std::make_shared<RecordingEndpoint>());
  ASSERT_EQ(bus.InterfacePath(too_long).size(), 254u);
  EXPECT_EQ(Open(0, 0), USBHOST_INVALID);
  EXPECT_EQ(bus.OpenHandleCount(), 0) << "the probe must be closed on this failure too";

  // Far beyond the buffer as well.
  bus.Unplug(too_long);
  PlugMeter(root, 1, std::u16string(600, u'H'), std::make_shared<RecordingEndpoint>());
  EXPECT_EQ(Open(1, 0), USBHOST_INVALID);
  EXPECT_EQ(bus.OpenHandleCount(), 0);
}

}  // namespace
