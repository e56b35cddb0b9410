// Reads, writes and IOCTLs on a named pipe whose other end the test holds:
// data passes through unchanged, and a call the other end never completes
// returns after its time limit (a read as an idle read, a write or an IOCTL
// as a failure) without disturbing the calls that follow it. Wine cancels
// pending pipe reads, writes and FSCTLs through CancelSynchronousIo as
// Windows does, so these run under Wine unchanged.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pipe_server.h"
#include "usbhost.h"

namespace {

// FSCTL_PIPE_LISTEN: waits on a pipe instance until a client connects.
constexpr uint32_t kPipeListen = 0x00110008;
// FSCTL_PIPE_PEEK: copies what is waiting in the pipe without taking it.
constexpr uint32_t kPipePeek = 0x0011400C;
constexpr uint32_t kPeekHeaderSize = 16;

class BoundedCall : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pipe_.ok());
    client_ = pipe_.open_client();
    ASSERT_NE(client_, USBHOST_INVALID);
  }
  void TearDown() override {
    if (client_ != USBHOST_INVALID) {
      usbhost_close(client_);
    }
  }

  std::string read_block(int& result) {
    char block[64];
    std::memset(block, 0, sizeof block);
    uint32_t done = 99;
    result = usbhost_read(client_, block, sizeof block, &done);
    EXPECT_LE(done, sizeof block);
    return std::string(block, done <= sizeof block ? done : 0);
  }

  PipeServer pipe_;
  usbhost_handle client_ = USBHOST_INVALID;
};

TEST_F(BoundedCall, SilentPipeReadEndsAsIdleRead) {
  char block[64];
  uint32_t done = 99;
  EXPECT_EQ(usbhost_read(client_, block, sizeof block, &done), 1);
  EXPECT_EQ(done, 0u);
}

TEST_F(BoundedCall, ReplyThenIdleThenLaterReplyAllArrive) {
  int result = 0;
  ASSERT_TRUE(pipe_.send("LX40\r"));
  EXPECT_EQ(read_block(result), "LX40\r");
  EXPECT_EQ(result, 1);

  EXPECT_EQ(read_block(result), "");
  EXPECT_EQ(result, 1);

  // The watchdog of the timed-out read must be gone: this read and write
  // run to completion instead of being cancelled.
  ASSERT_TRUE(pipe_.send("OK\r"));
  EXPECT_EQ(read_block(result), "OK\r");
  EXPECT_EQ(result, 1);
  const char command[] = "QPID\n";
  uint32_t written = 0;
  EXPECT_EQ(usbhost_write(client_, command, 5, &written), 1);
  EXPECT_EQ(written, 5u);
  EXPECT_EQ(pipe_.receive(64), "QPID\n");
}

TEST_F(BoundedCall, WriteReachesTheOtherEnd) {
  const uint8_t record[6] = {0x05, 0x14, 0x00, 0x01, 0x86, 0xA0};
  uint32_t written = 0;
  EXPECT_EQ(usbhost_write(client_, record, sizeof record, &written), 1);
  EXPECT_EQ(written, sizeof record);
  EXPECT_EQ(pipe_.receive(64), std::string(reinterpret_cast<const char*>(record), 6));
}

TEST(BoundedWrite, WriteNobodyDrainsFails) {
  PipeServer pipe(1);  // one byte of buffer: the write waits for a reader
  ASSERT_TRUE(pipe.ok());
  usbhost_handle client = pipe.open_client();
  ASSERT_NE(client, USBHOST_INVALID);
  std::vector<uint8_t> data(1u << 20, 0xA5);
  uint32_t written = 0;
  EXPECT_EQ(usbhost_write(client, data.data(), static_cast<uint32_t>(data.size()), &written), 0);
  EXPECT_LT(written, data.size());
  EXPECT_EQ(usbhost_close(client), 1);
}

TEST_F(BoundedCall, IoctlPassesCodeBuffersAndCountThrough) {
  ASSERT_TRUE(pipe_.send("abc"));
  uint8_t out[64];
  std::memset(out, 0xEE, sizeof out);
  uint32_t returned = 0;
  ASSERT_EQ(usbhost_ioctl(client_, kPipePeek, nullptr, 0, out, sizeof out, &returned), 1);
  ASSERT_EQ(returned, kPeekHeaderSize + 3);
  uint32_t available = 0;
  std::memcpy(&available, out + 4, sizeof available);
  EXPECT_EQ(available, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out) + kPeekHeaderSize, 3), "abc");
  EXPECT_EQ(out[kPeekHeaderSize + 3], 0xEE);
}

TEST(BoundedIoctl, RequestNeverCompletedFails) {
  PipeServer pipe;  // a pipe instance no client ever connects to
  ASSERT_TRUE(pipe.ok());
  const auto server = reinterpret_cast<usbhost_handle>(pipe.server());
  uint32_t returned = 99;
  EXPECT_EQ(usbhost_ioctl(server, kPipeListen, nullptr, 0, nullptr, 0, &returned), 0);
  EXPECT_EQ(returned, 0u);

  // The thread is not left with a pending cancel: the next request on it
  // completes normally.
  usbhost_handle client = pipe.open_client();
  ASSERT_NE(client, USBHOST_INVALID);
  ASSERT_TRUE(pipe.send("x"));
  uint8_t out[32];
  EXPECT_EQ(usbhost_ioctl(client, kPipePeek, nullptr, 0, out, sizeof out, &returned), 1);
  EXPECT_EQ(returned, kPeekHeaderSize + 1);
  EXPECT_EQ(usbhost_close(client), 1);
}

}  // namespace
