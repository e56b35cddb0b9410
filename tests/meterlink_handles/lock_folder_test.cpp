// The meter lock of the Windows build between programs: one folder for the
// whole PC (%ProgramData%\LX40\locks, with an access list of its own), a
// lock another program holds is "held" (never a fault, never taken twice),
// given back when that program ends, and a lock file that cannot be opened
// for another reason is a fault naming the file and the cause. Under Wine
// both programs run as one user: the access list is read back, but another
// user's access is not tried.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "lock_holder_process.h"
#include "meter_lock.h"

namespace handletest {
namespace {

constexpr const char kPath[] =
    "\\\\?\\usb#vid_5a2d&pid_3000#A12345678#{6b3e21d4-0a7c-4f58-b913-2e7d5c48a0f1}";

std::string Environment(const char* name) {
  char value[MAX_PATH + 1] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string TempFolder(const std::string& name) {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temp, temp);
  return std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
}

class LockFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { _putenv("LX40_METER_LOCK_DIR="); }
  void TearDown() override { _putenv("LX40_METER_LOCK_DIR="); }
};

TEST_F(LockFolderTest, LocksLiveInOneFolderForThePcThatEveryUserMayUse) {
  const std::string programData = Environment("ProgramData");
  ASSERT_FALSE(programData.empty());
  const std::string folder = programData + "\\LX40\\locks";
  const std::string file = meterlink::MeterLock::LockFilePath(kPath);
  EXPECT_EQ(file.rfind(folder + "\\lx40-meter-", 0), 0u) << file;

  meterlink::MeterLock lock;
  ASSERT_EQ(lock.Take(kPath), meterlink::MeterLock::Outcome::kTaken) << lock.failure();
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);

  // Its own access list, not the one ProgramData would pass down: signed-in
  // users may make files there.
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                  nullptr, nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "the folder inherits its access list";
  BYTE usersSid[SECURITY_MAX_SID_SIZE] = {};
  DWORD sidSize = sizeof usersSid;
  ASSERT_TRUE(CreateWellKnownSid(WinAuthenticatedUserSid, nullptr, usersSid, &sidSize));
  bool usersMayAddFiles = false;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (!EqualSid(const_cast<DWORD*>(&allowed->SidStart), usersSid)) continue;
    if ((allowed->Header.AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    usersMayAddFiles = (allowed->Mask & FILE_ADD_FILE) != 0;
  }
  LocalFree(descriptor);
  EXPECT_TRUE(usersMayAddFiles);
}

// Another program holds the lock: here it is "held" (no fault) until that
// program ends, and the other way round.
TEST_F(LockFolderTest, AnotherProgramsLockIsHeldUntilItEnds) {
  {
    LockHolderProcess other(kPath);
    ASSERT_EQ(other.firstLine(), "held");
    meterlink::MeterLock here;
    EXPECT_EQ(here.Take(kPath), meterlink::MeterLock::Outcome::kHeld);
    EXPECT_EQ(here.failure(), "");
    ASSERT_TRUE(other.Release());
    EXPECT_EQ(here.Take(kPath), meterlink::MeterLock::Outcome::kTaken) << here.failure();

    // Held here, from this thread; released from another.
    LockHolderProcess second(kPath);
    EXPECT_EQ(second.firstLine(), "busy");
    std::thread([&here] { here.Release(); }).join();
  }
  LockHolderProcess third(kPath);
  EXPECT_EQ(third.firstLine(), "held");
}

// A lock file that cannot be opened for another reason than a holder is a
// fault with the file and the cause.
TEST_F(LockFolderTest, ALockFileThatCannotBeOpenedIsAFaultWithPathAndCause) {
  const std::string folder = TempFolder("lx40-lock-faults");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  struct Case {
    const char* what;
    std::string lockDir;
    bool folderInItsPlace;
    const char* cause;
  };
  const std::vector<Case> cases = {
      {"missing folder", folder + "\\absent", false, "Windows error 3)"},
      {"a folder in the lock file's place", folder, true, "Windows error 5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    _putenv(("LX40_METER_LOCK_DIR=" + c.lockDir).c_str());
    const std::string file = meterlink::MeterLock::LockFilePath(kPath);
    if (c.folderInItsPlace) ASSERT_TRUE(CreateDirectoryA(file.c_str(), nullptr));
    meterlink::MeterLock lock;
    EXPECT_EQ(lock.Take(kPath), meterlink::MeterLock::Outcome::kFailed);
    EXPECT_EQ(lock.failure().rfind(file + ": ", 0), 0u) << lock.failure();
    EXPECT_NE(lock.failure().find(c.cause), std::string::npos) << lock.failure();
    if (c.folderInItsPlace) RemoveDirectoryA(file.c_str());
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace handletest
