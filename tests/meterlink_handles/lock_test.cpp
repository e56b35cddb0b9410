// The named lock per meter that keeps two programs apart: a meter whose lock
// another program holds is passed over by both interfaces as if it were not
// attached, and both interfaces hold the lock while a meter is open. The
// other program is played by a MeterLock taken here (a second holder of the
// lock file conflicts in one process just as in two).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include "lock_holder_process.h"
#else
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "handle_fixture.h"
#include "meter_lock.h"

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
  // Opened where it is plugged, it is named as in use, not as absent.
  mlink_meter_place places[2] = {};
  ASSERT_EQ(mlink_list_places(places, 2, &found), MLINK_OK);
  ASSERT_EQ(found, 2u);
  ASSERT_EQ(places[0].path, lockedPath);
  EXPECT_EQ(mlink_open_path(places[0].path, places[0].generation, &meter),
            MLINK_ERR_IN_USE_ELSEWHERE);
  char detail[512] = {};
  ASSERT_EQ(mlink_last_error_detail(detail, sizeof detail), MLINK_OK);
  EXPECT_NE(std::string(detail).find("in use by another program"), std::string::npos) << detail;
  EXPECT_EQ(mlink_open_port(places[0].port, &meter), MLINK_ERR_IN_USE_ELSEWHERE);
  EXPECT_EQ(meter, nullptr);
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

#if defined(_WIN32)
// Another program for real, on Windows: a second process holds a meter's
// lock (in a lock folder both share, as every program on the PC shares the
// machine-wide one), so this one cannot open the meter and is told it is
// in use, not that there is none; once that program has ended, it can.
// Both run as one user under Wine: the cross-user case is not tried here.
TEST_F(LockTest, AMeterHeldByAnotherProcessIsInUseUntilThatProcessEnds) {
  char temp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
  const std::string dir =
      std::string(temp) + "lx40-lock-processes-" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  ASSERT_EQ(_putenv(("LX40_METER_LOCK_DIR=" + dir).c_str()), 0);
  std::shared_ptr<usbsim::VirtualMeter> meter;
  const std::string path = AttachWithPath("A12345678", &meter);
  mlink_meter_place places[1] = {};
  size_t found = 0;
  ASSERT_EQ(mlink_list_places(places, 1, &found), MLINK_OK);
  ASSERT_EQ(found, 1u);
  {
    LockHolderProcess other(path);
    ASSERT_EQ(other.firstLine(), "held");
    meter->ClearTranscript();
    mlink_meter* opened = nullptr;
    EXPECT_EQ(mlink_open_path(places[0].path, places[0].generation, &opened),
              MLINK_ERR_IN_USE_ELSEWHERE);
    EXPECT_EQ(mlink_open_port(places[0].port, &opened), MLINK_ERR_IN_USE_ELSEWHERE);
    EXPECT_EQ(mlink_open("A12345678", &opened), MLINK_ERR_NO_SUCH_METER);
    EXPECT_EQ(opened, nullptr);
    EXPECT_TRUE(meter->Transcript().empty());
    ASSERT_TRUE(other.Release());
  }
  mlink_meter* opened = nullptr;
  ASSERT_EQ(mlink_open_path(places[0].path, places[0].generation, &opened), MLINK_OK);
  // And the other way round: open here, the other program cannot take it.
  {
    LockHolderProcess other(path);
    EXPECT_EQ(other.firstLine(), "busy");
  }
  ASSERT_EQ(mlink_close(opened), MLINK_OK);
  DeleteFileA(meterlink::MeterLock::LockFilePath(path).c_str());
  _putenv("LX40_METER_LOCK_DIR=");
  RemoveDirectoryA(dir.c_str());
}
#else
// Another program for real: the flock(1) tool holding a meter's lock file
// (named as Meterlink names it, in a shared LX40_METER_LOCK_DIR), and the
// same tool failing to take the lock of a meter open here.
TEST_F(LockTest, AnotherProcessHoldingTheLockHidesTheMeter) {
  if (std::system("command -v flock > /dev/null 2>&1") != 0) GTEST_SKIP() << "no flock tool";
  char dirTemplate[] = "/tmp/lx40-lock-test-XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::string dir = dirTemplate;
  setenv("LX40_METER_LOCK_DIR", dir.c_str(), 1);

  const std::string pathA = AttachWithPath("A12345678");
  const std::string pathB = AttachWithPath("B23456789");
  const std::string lockA = meterlink::MeterLock::LockFilePath(pathA);
  const std::string ready = dir + "/ready";
  const std::string script = "touch '" + ready + "'; sleep 60";
  // -o: only flock itself holds the lock, so ending it gives the lock back;
  // a process group of its own, so the shell and sleep end with it.
  const char* argv[] = {"flock", "-n", "-o", lockA.c_str(), "-c", script.c_str(), nullptr};
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t holder = 0;
  const int spawned =
      posix_spawnp(&holder, "flock", nullptr, &attributes, const_cast<char**>(argv), environ);
  posix_spawnattr_destroy(&attributes);
  ASSERT_EQ(spawned, 0);
  bool held = false;
  for (int i = 0; i < 200 && !held; ++i) {
    held = std::ifstream(ready).good();
    if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(held);

  mlink_meter_info infos[2] = {};
  size_t found = 0;
  EXPECT_EQ(mlink_enumerate(infos, 2, &found), MLINK_OK);
  EXPECT_EQ(found, 1u);
  EXPECT_STREQ(infos[0].serial, "B23456789");
  mlink_meter* meter = nullptr;
  EXPECT_EQ(mlink_open("A12345678", &meter), MLINK_ERR_NO_SUCH_METER);

  kill(-holder, SIGTERM);
  int status = 0;
  waitpid(holder, &status, 0);
  EXPECT_EQ(mlink_enumerate(infos, 2, &found), MLINK_OK);
  EXPECT_EQ(found, 2u);

  // The reverse: a meter open here is locked for the other program.
  mlink_meter* b = Open("B23456789");
  ASSERT_NE(b, nullptr);
  const std::string lockB = meterlink::MeterLock::LockFilePath(pathB);
  EXPECT_NE(std::system(("flock -n '" + lockB + "' true").c_str()), 0);
  ASSERT_EQ(mlink_close(b), MLINK_OK);
  EXPECT_EQ(std::system(("flock -n '" + lockB + "' true").c_str()), 0);

  unsetenv("LX40_METER_LOCK_DIR");
  std::system(("rm -rf '" + dir + "'").c_str());
}

// A lock file that cannot be opened or made for another reason than a
// holder is an error naming the file and the cause, never "no meter": and
// the meter gets no byte. A symbolic link in the lock's place is not
// followed (its target is left as it was).
TEST_F(LockTest, ALockFileThatCannotBeOpenedIsReportedWithItsPathAndCause) {
  char dirTemplate[] = "/tmp/lx40-lock-fault-XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::string dir = dirTemplate;
  struct Case {
    const char* what;
    std::string lockDir;
    bool symlink;       // the lock file's name is a symbolic link to `target`
    const char* cause;  // in the detail
  };
  const std::string target = dir + "/target";
  const std::vector<Case> cases = {
      {"missing folder", dir + "/absent", false, "No such file or directory"},
      {"symbolic link", dir, true, "Too many levels of symbolic links"},
  };
  std::shared_ptr<usbsim::VirtualMeter> meter;
  const std::string path = AttachWithPath("A12345678", &meter);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setenv("LX40_METER_LOCK_DIR", c.lockDir.c_str(), 1);
    const std::string lock = meterlink::MeterLock::LockFilePath(path);
    if (c.symlink) {
      std::ofstream(target) << "kept";
      ASSERT_EQ(symlink(target.c_str(), lock.c_str()), 0);
    }
    meter->ClearTranscript();
    mlink_meter_info infos[1] = {};
    size_t found = 9;
    EXPECT_EQ(mlink_enumerate(infos, 1, &found), MLINK_ERR_LOCK_FAILED);
    EXPECT_EQ(found, 0u);
    char detail[512] = {};
    ASSERT_EQ(mlink_last_error_detail(detail, sizeof detail), MLINK_OK);
    EXPECT_NE(std::string(detail).find(lock), std::string::npos) << detail;
    EXPECT_NE(std::string(detail).find(c.cause), std::string::npos) << detail;
    mlink_meter* opened = nullptr;
    EXPECT_EQ(mlink_open("A12345678", &opened), MLINK_ERR_LOCK_FAILED);
    EXPECT_EQ(mlink_open_path(path.c_str(), 0, &opened), MLINK_ERR_LOCK_FAILED);
    EXPECT_TRUE(meter->Transcript().empty());
    if (c.symlink) {
      std::string kept;
      std::ifstream(target) >> kept;
      EXPECT_EQ(kept, "kept");
      unlink(lock.c_str());
    }
  }
  // With the folder there and nothing in the way, the lock file is made
  // for every user (whatever the umask) and the meter is listed.
  setenv("LX40_METER_LOCK_DIR", dir.c_str(), 1);
  const mode_t umaskBefore = umask(077);
  mlink_meter_info infos[1] = {};
  size_t found = 0;
  EXPECT_EQ(mlink_enumerate(infos, 1, &found), MLINK_OK);
  umask(umaskBefore);
  EXPECT_EQ(found, 1u);
  struct stat made {};
  ASSERT_EQ(stat(meterlink::MeterLock::LockFilePath(path).c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0666u);
  unsetenv("LX40_METER_LOCK_DIR");
  std::system(("rm -rf '" + dir + "'").c_str());
}
#endif

TEST(MeterLockNames, OneFilePerInterfacePath) {
  const std::string a = meterlink::MeterLock::LockFilePath("\\\\?\\usb#vid_5a2d&pid_3000#1");
  const std::string b = meterlink::MeterLock::LockFilePath("\\\\?\\usb#vid_5a2d&pid_3000#2");
  EXPECT_NE(a, b);
  EXPECT_EQ(a, meterlink::MeterLock::LockFilePath("\\\\?\\usb#vid_5a2d&pid_3000#1"));
  EXPECT_NE(a.find("lx40-meter-"), std::string::npos);
}

}  // namespace
}  // namespace handletest
