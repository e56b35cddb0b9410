// Opening what is not there, and every call on a handle that is not open.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "hub_ioctl_codes.h"
#include "pipe_server.h"
#include "usbhost.h"

namespace {

constexpr uint32_t kReadWrite = USBHOST_GENERIC_READ | USBHOST_GENERIC_WRITE;
constexpr uint32_t kShareBoth = USBHOST_FILE_SHARE_READ | USBHOST_FILE_SHARE_WRITE;

struct MissingDevice {
  const char* path;
  uint32_t access;
  uint32_t share;
};

class OpenMissingDevice : public ::testing::TestWithParam<MissingDevice> {};

TEST_P(OpenMissingDevice, FailsWithInvalidHandle) {
  const MissingDevice& device = GetParam();
  EXPECT_EQ(usbhost_open(device.path, device.access, device.share), USBHOST_INVALID) << device.path;
}

// The names discovery and pipe access open on a PC with no USB meter stack:
// host controllers, a hub, a meter interface and its pipe, plus a missing
// named pipe and file.
INSTANTIATE_TEST_SUITE_P(
    PcWithoutMeters, OpenMissingDevice,
    ::testing::Values(
        MissingDevice{"\\\\.\\HCD0", USBHOST_GENERIC_WRITE, USBHOST_FILE_SHARE_WRITE},
        MissingDevice{"\\\\.\\HCD9", USBHOST_GENERIC_WRITE, USBHOST_FILE_SHARE_WRITE},
        MissingDevice{"\\\\.\\USB#ROOT_HUB20#4&1a2b3c4d&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
                      USBHOST_GENERIC_WRITE, USBHOST_FILE_SHARE_WRITE},
        MissingDevice{"\\\\?\\usb#vid_5a2d&pid_3000#A12345678#"
                      "{6b3e21d4-0a7c-4f58-b913-2e7d5c48a0f1}",
                      kReadWrite, kShareBoth},
        MissingDevice{"\\\\?\\usb#vid_5a2d&pid_3000#A12345678#"
                      "{6b3e21d4-0a7c-4f58-b913-2e7d5c48a0f1}\\1",
                      kReadWrite, kShareBoth},
        MissingDevice{"\\\\.\\pipe\\lx40-no-such-pipe", kReadWrite, kShareBoth},
        MissingDevice{"C:\\lx40\\no\\such\\file", kReadWrite, kShareBoth}));

TEST(Open, NullPathFails) {
  EXPECT_EQ(usbhost_open(nullptr, kReadWrite, kShareBoth), USBHOST_INVALID);
}

TEST(Open, ExistingPipeOpensAndClosesOnce) {
  PipeServer pipe;
  ASSERT_TRUE(pipe.ok());
  usbhost_handle h = pipe.open_client();
  ASSERT_NE(h, USBHOST_INVALID);
  EXPECT_EQ(usbhost_close(h), 1);
  EXPECT_EQ(usbhost_close(h), 0);
}

TEST(ClosedHandle, EveryCallFails) {
  PipeServer pipe;
  ASSERT_TRUE(pipe.ok());
  usbhost_handle h = pipe.open_client();
  ASSERT_NE(h, USBHOST_INVALID);
  ASSERT_EQ(usbhost_close(h), 1);

  uint8_t byte = 0x55;
  uint32_t done = 99;
  EXPECT_EQ(usbhost_write(h, &byte, 1, &done), 0);
  EXPECT_EQ(done, 0u);
  done = 99;
  EXPECT_EQ(usbhost_read(h, &byte, 1, &done), 0);
  EXPECT_EQ(done, 0u);
  uint8_t record[76] = {};
  uint32_t returned = 99;
  EXPECT_EQ(usbhost_ioctl(h, hub_ioctl::kRootHubName, record, sizeof record, record, sizeof record,
                          &returned),
            0);
  EXPECT_EQ(returned, 0u);
}

// A meter's pipe ("<interface path>\<number>") is opened with no sharing
// whatever the caller asks, so a second open (another program's) fails while
// it is open and succeeds after the close; any other name keeps the
// caller's sharing. Files stand in for the driver's pipe files.
TEST(Open, AMetersPipeIsNeverShared) {
  char temp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
  const std::string folder =
      std::string(temp) + "lx40-usbhost-share-" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  struct Case {
    const char* name;
    bool pipe;
  };
  for (const Case& c : {Case{"0", true}, Case{"1", true}, Case{"-1", true}, Case{"12", true},
                        Case{"interface", false}, Case{"1a", false}, Case{"-", false}}) {
    SCOPED_TRACE(c.name);
    const std::string path = folder + "\\" + c.name;
    const HANDLE made = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);

    const usbhost_handle first = usbhost_open(path.c_str(), kReadWrite, kShareBoth);
    ASSERT_NE(first, USBHOST_INVALID);
    const usbhost_handle second = usbhost_open(path.c_str(), kReadWrite, kShareBoth);
    if (c.pipe) {
      EXPECT_EQ(second, USBHOST_INVALID);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    } else {
      EXPECT_NE(second, USBHOST_INVALID);
      usbhost_close(second);
    }
    ASSERT_EQ(usbhost_close(first), 1);
    // Closed: the next program opens it.
    const usbhost_handle again = usbhost_open(path.c_str(), kReadWrite, kShareBoth);
    EXPECT_NE(again, USBHOST_INVALID);
    usbhost_close(again);
    DeleteFileA(path.c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

// USBHOST_INVALID is also the current-process pseudo-handle, and 0 is no
// handle at all: none of them may reach a Windows call that would accept it.
class NotAHandle : public ::testing::TestWithParam<usbhost_handle> {};

TEST_P(NotAHandle, EveryCallFails) {
  const usbhost_handle h = GetParam();
  uint8_t byte = 0;
  uint32_t done = 99;
  EXPECT_EQ(usbhost_close(h), 0);
  EXPECT_EQ(usbhost_write(h, &byte, 1, &done), 0);
  EXPECT_EQ(done, 0u);
  done = 99;
  EXPECT_EQ(usbhost_read(h, &byte, 1, &done), 0);
  EXPECT_EQ(done, 0u);
  done = 99;
  EXPECT_EQ(usbhost_ioctl(h, hub_ioctl::kRootHubName, nullptr, 0, &byte, 1, &done), 0);
  EXPECT_EQ(done, 0u);
}

INSTANTIATE_TEST_SUITE_P(InvalidAndPseudoHandles, NotAHandle,
                         ::testing::Values(USBHOST_INVALID, usbhost_handle{0}, usbhost_handle{-2}));

}  // namespace
