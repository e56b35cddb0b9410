// The named lock per meter that keeps two programs apart: a meter whose lock
// another program holds is passed over by both interfaces as if it were not
// attached, and both interfaces hold the lock while a meter is open. The
// other program is played by a MeterLock taken here (a second holder of the
// lock file conflicts in one process just as in two).
#include <gtest/gtest.h>

#include "meterlink/meter_lock.h"
#include "tests/meterlink_handles/handle_fixture.h"

namespace handletest {
namespace {

class LockTest : public HandleTest {
 protected:
  // A meter and its interface path.
  std::string AttachWithPath(const std::string& serial,
                             std::shared_ptr<usbsim::VirtualMeter>* meter = nullptr) {
    const int before = Bus().InterfaceCount();
    auto attached = Attach(MeterWithSerial(serial));
    if (meter != nullptr) *meter = attached;
    char path[1024] = {};
    static constexpr auto& kGuid = usbsim::Bus::kMeterInterfaceGuid;
    EXPECT_TRUE(Bus().InterfacePathAt(kGuid.data(), before, path, sizeof path));
    return path;
  }
};

TEST_F(LockTest, AMeterLockedElsewhereIsPassedOverAsIfAbsent) {
  std::shared_ptr<usbsim::VirtualMeter> locked;
  const std::string lockedPath = AttachWithPath("A12345678", &locked);
  AttachWithPath("B23456789");
  meterlink::MeterLock otherProgram;
  ASSERT_TRUE(otherProgram.TryTake(lockedPath));
  locked->ClearTranscript();

  mlink_meter_info infos[2] = {};
  size_t found = 0;
  ASSERT_EQ(mlink_enumerate(infos, 2, &found), MLINK_OK);
  ASSERT_EQ(found, 1u);
  EXPECT_STREQ(infos[0].serial, "B23456789");
  mlink_meter* meter = nullptr;
  EXPECT_EQ(mlink_open("A12345678", &meter), MLINK_ERR_NO_SUCH_METER);
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  int32_t count = 0;
  ASSERT_EQ(GetAllDeviceNum(&count), MLINK_OK);
  EXPECT_EQ(count, 1);
  ASSERT_EQ(CloseAllDevice(), MLINK_OK);
  EXPECT_TRUE(locked->Transcript().empty());

  // Given back: the meter is there again.
  otherProgram.Release();
  EXPECT_NE(Open("A12345678"), nullptr);
}

TEST_F(LockTest, BothInterfacesHoldTheLockWhileAMeterIsOpen) {
  const std::string pathA = AttachWithPath("A12345678");
  const std::string pathB = AttachWithPath("B23456789");
  meterlink::MeterLock probe;

  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open("A12345678", &meter), MLINK_OK);
  EXPECT_FALSE(probe.TryTake(pathA));
  EXPECT_TRUE(probe.TryTake(pathB));  // looked at by the walk, but left free
  probe.Release();
  ASSERT_EQ(mlink_close(meter), MLINK_OK);
  EXPECT_TRUE(probe.TryTake(pathA));
  probe.Release();

  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_FALSE(probe.TryTake(pathA));
  EXPECT_FALSE(probe.TryTake(pathB));
  ASSERT_EQ(CloseAllDevice(), MLINK_OK);
  EXPECT_TRUE(probe.TryTake(pathB));
}

TEST(MeterLockNames, OneFilePerInterfacePath) {
  const std::string a = meterlink::MeterLock::LockFilePath("\\\\?\\usb#vid_5a2d&pid_3000#1");
  const std::string b = meterlink::MeterLock::LockFilePath("\\\\?\\usb#vid_5a2d&pid_3000#2");
  EXPECT_NE(a, b);
  EXPECT_EQ(a, meterlink::MeterLock::LockFilePath("\\\\?\\usb#vid_5a2d&pid_3000#1"));
  EXPECT_NE(a.find("lx40-meter-"), std::string::npos);
}

}  // namespace
}  // namespace handletest
