// The reply pipe's read rule: the first read of an answer waits the idle
// bound, later ones the short gap; an idle read ends empty; bytes of a timed
// out transfer and bytes beyond the caller's buffer are kept.
#include "reply_reader.h"

#include <gtest/gtest.h>

#include <deque>

#include "io_limits.h"

namespace libusb_test {
namespace {

using usbhost_libusb::BulkIn;
using usbhost_libusb::kAnswerGapMs;
using usbhost_libusb::kIdleReadMs;
using usbhost_libusb::ReplyReader;
using usbhost_libusb::TransferEnd;

// A device whose transfers end as scripted; it records the size and bound
// of each transfer asked.
struct ScriptedDevice {
  struct Step {
    TransferEnd end;
    std::vector<uint8_t> bytes;
  };
  std::deque<Step> steps;
  std::vector<std::pair<uint32_t, unsigned>> asked;

  BulkIn In() {
    return [this](uint8_t* data, uint32_t size, uint32_t* got, unsigned timeout_ms) {
      asked.emplace_back(size, timeout_ms);
      *got = 0;
      if (steps.empty()) return TransferEnd::kTimedOut;
      const Step step = steps.front();
      steps.pop_front();
      const size_t n = std::min<size_t>(size, step.bytes.size());
      std::copy_n(step.bytes.begin(), n, data);
      *got = static_cast<uint32_t>(n);
      return step.end;
    };
  }
};

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

struct ReadResult {
  bool ok;
  std::string bytes;
};

ReadResult ReadOnce(ReplyReader& reader, ScriptedDevice& device, uint32_t size = 64) {
  std::vector<uint8_t> buffer(size);
  uint32_t done = 99;
  const bool ok = reader.Read(device.In(), buffer.data(), size, &done);
  return {ok, std::string(buffer.begin(), buffer.begin() + done)};
}

TEST(ReplyReader, AnAnswerEndsAfterTheShortGap) {
  ScriptedDevice device;
  device.steps = {{TransferEnd::kCompleted, Bytes("LX40\r")}};
  ReplyReader reader(64);
  const ReadResult first = ReadOnce(reader, device);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.bytes, "LX40\r");
  const ReadResult end = ReadOnce(reader, device);  // nothing more: ends empty
  EXPECT_TRUE(end.ok);
  EXPECT_EQ(end.bytes, "");
  const ReadResult idle = ReadOnce(reader, device);  // the next answer waits the whole bound
  EXPECT_TRUE(idle.ok);
  EXPECT_EQ(idle.bytes, "");
  ASSERT_EQ(device.asked.size(), 3u);
  EXPECT_EQ(device.asked[0].second, kIdleReadMs);
  EXPECT_EQ(device.asked[1].second, kAnswerGapMs);
  EXPECT_EQ(device.asked[2].second, kIdleReadMs);
}

TEST(ReplyReader, ANewCommandWaitsTheIdleBoundAgain) {
  ScriptedDevice device;
  device.steps = {{TransferEnd::kCompleted, Bytes("OK")}};
  ReplyReader reader(64);
  ReadOnce(reader, device);
  reader.NewCommand();
  ReadOnce(reader, device);
  ASSERT_EQ(device.asked.size(), 2u);
  EXPECT_EQ(device.asked[1].second, kIdleReadMs);
}

TEST(ReplyReader, BytesOfATimedOutTransferAreKept) {
  ScriptedDevice device;
  device.steps = {{TransferEnd::kTimedOut, Bytes("PART")},
                  {TransferEnd::kCompleted, Bytes("REST")}};
  ReplyReader reader(64);
  EXPECT_EQ(ReadOnce(reader, device).bytes, "PART");
  EXPECT_EQ(ReadOnce(reader, device).bytes, "REST");
  EXPECT_EQ(device.asked[1].second, kAnswerGapMs);
}

TEST(ReplyReader, TransfersAreWholePacketsAndTheSurplusWaitsForTheNextRead) {
  ScriptedDevice device;
  device.steps = {{TransferEnd::kCompleted, Bytes("0123456789")}};
  ReplyReader reader(8);
  // A 3-byte buffer asks for one whole 8-byte packet; the device had ten.
  EXPECT_EQ(ReadOnce(reader, device, 3).bytes, "012");
  EXPECT_EQ(ReadOnce(reader, device, 3).bytes, "345");
  EXPECT_EQ(ReadOnce(reader, device, 64).bytes, "67");
  ASSERT_EQ(device.asked.size(), 1u);
  EXPECT_EQ(device.asked[0].first, 8u);
  ReadOnce(reader, device, 9);
  EXPECT_EQ(device.asked.back().first, 16u);
}

TEST(ReplyReader, AFailedTransferFailsTheRead) {
  struct Case {
    std::vector<ScriptedDevice::Step> steps;
    int failing_read;
  };
  const std::vector<Case> cases{
      {{{TransferEnd::kFailed, {}}}, 0},
      {{{TransferEnd::kCompleted, Bytes("LX")}, {TransferEnd::kFailed, {}}}, 1},
      {{{TransferEnd::kFailed, Bytes("XY")}}, 0},  // bytes of a failed transfer are not an answer
  };
  for (const Case& c : cases) {
    ScriptedDevice device;
    device.steps.assign(c.steps.begin(), c.steps.end());
    ReplyReader reader(64);
    for (int i = 0; i < c.failing_read; ++i) EXPECT_TRUE(ReadOnce(reader, device).ok);
    const ReadResult failed = ReadOnce(reader, device);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.bytes, "");
  }
}

}  // namespace
}  // namespace libusb_test
