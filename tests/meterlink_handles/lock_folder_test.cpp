// The meter lock of the Windows build between programs: one folder for the
// whole PC (%ProgramData%\LX40\locks, with an access list of its own), a
// lock another program holds is "held" (never a fault, never taken twice),
// given back when that program ends, and a lock file that cannot be opened
// for another reason is a fault naming the file and the cause. Under Wine
// both programs run as one user and Wine keeps no access list on a folder:
// the access list is checked as Meterlink writes it, another user's access
// is not tried.
#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "lock_holder_process.h"
#include "meter_lock.h"
#include "win32/lock_folder_access.h"

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

TEST_F(LockFolderTest, LocksLiveInOneFolderForThePcMadeOnFirstUse) {
  const std::string programData = Environment("ProgramData");
  ASSERT_FALSE(programData.empty());
  const std::string folder = programData + "\\LX40\\locks";
  const std::string file = meterlink::MeterLock::LockFilePath(kPath);
  EXPECT_EQ(file.rfind(folder + "\\lx40-meter-", 0), 0u) << file;

  // Gone (as on a PC where Meterlink never ran, when nothing else is in
  // it): the first lock makes it again.
  DeleteFileA(file.c_str());
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA((programData + "\\LX40").c_str());
  meterlink::MeterLock lock;
  ASSERT_EQ(lock.Take(kPath), meterlink::MeterLock::Outcome::kTaken) << lock.failure();
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// The access list Meterlink gives the lock folder (Wine keeps no access
// list on files, so it is read from the text Meterlink makes it from, not
// back from the folder): not the one ProgramData would pass down; signed-in
// users may make files and read every lock file, but not delete the folder
// or change its access; a file's maker may do anything with it.
TEST(LockFolderAccess, EveryUserMayMakeAndOpenLockFilesAndNothingMore) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      meterlink::lock_file::kLockFolderAccess, SDDL_REVISION_1, &descriptor, nullptr));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "the folder would inherit its access list";
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl != nullptr);

  BYTE users[SECURITY_MAX_SID_SIZE] = {};
  BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
  BYTE maker[SECURITY_MAX_SID_SIZE] = {};
  DWORD size = sizeof users;
  ASSERT_TRUE(CreateWellKnownSid(WinAuthenticatedUserSid, nullptr, users, &size));
  size = sizeof everyone;
  ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
  size = sizeof maker;
  ASSERT_TRUE(CreateWellKnownSid(WinCreatorOwnerSid, nullptr, maker, &size));
  ACCESS_MASK usersOnFolder = 0;
  ACCESS_MASK usersOnFiles = 0;
  ACCESS_MASK makerOnFiles = 0;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    ASSERT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    EXPECT_FALSE(EqualSid(sid, everyone)) << "anonymous callers get nothing";
    const BYTE flags = allowed->Header.AceFlags;
    const bool onFolder = (flags & INHERIT_ONLY_ACE) == 0;
    const bool onFiles = (flags & OBJECT_INHERIT_ACE) != 0;
    if (EqualSid(sid, users)) {
      if (onFolder) usersOnFolder |= allowed->Mask;
      if (onFiles) usersOnFiles |= allowed->Mask;
    }
    if (EqualSid(sid, maker) && onFiles) makerOnFiles |= allowed->Mask;
  }
  LocalFree(descriptor);
  const ACCESS_MASK make = FILE_ADD_FILE | FILE_TRAVERSE | FILE_LIST_DIRECTORY;
  EXPECT_EQ(usersOnFolder & make, make);
  EXPECT_EQ(usersOnFolder & (DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD), 0u);
  EXPECT_EQ(usersOnFiles & FILE_GENERIC_READ, static_cast<ACCESS_MASK>(FILE_GENERIC_READ));
  EXPECT_EQ(usersOnFiles & (DELETE | WRITE_DAC | FILE_WRITE_DATA), 0u);
  EXPECT_EQ(makerOnFiles & FILE_ALL_ACCESS, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
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
    if (c.folderInItsPlace) {
      ASSERT_TRUE(CreateDirectoryA(file.c_str(), nullptr));
    }
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
