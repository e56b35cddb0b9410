// Meter locks between users: lock files one user made are usable by the
// next, and a lock folder another user cannot use is reported as such, with
// its path and the cause, never as "no meter found". The second user is
// played by setpriv (the tests run as root in CI).
#include <sys/stat.h>
#include <unistd.h>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

class LockUsersTest : public Lx40Test {
 protected:
  void SetUp() override {
    Lx40Test::SetUp();
    if (UnderWine()) GTEST_SKIP() << "POSIX users";
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to play a second user";
    if (std::system("command -v setpriv > /dev/null 2>&1") != 0) GTEST_SKIP() << "no setpriv";
    // The second user reads the meter file in the test folder.
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  }

  // lx40 as user and group 65534 (nobody), without the state file it could
  // not write.
  int RunAsOtherUser(const std::vector<std::string>& args, std::map<std::string, std::string> env,
                     const std::string& name) {
    env.erase("LX40_SIM_STATE");
    std::vector<std::string> all = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                    LX40_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    return Lx40Process("/usr/bin/setpriv", all, env, Path(name)).Wait();
  }
};

TEST_F(LockUsersTest, AMeterListedByOneUserIsUsableByAnother) {
  auto env = Environment("[meter]\nserial = A1\n[meter]\nserial = B2\n");
  ASSERT_EQ(::chmod(Path("meters.ini").c_str(), 0644), 0);
  const std::string locks = Path("locks");
  ASSERT_EQ(::mkdir(locks.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(locks.c_str(), 01777), 0);  // shared and sticky, as /tmp
  env["LX40_METER_LOCK_DIR"] = locks;

  const mode_t before = ::umask(022);
  const int first = Run({"list", "--json"}, env, "root");
  ::umask(before);
  ASSERT_EQ(first, 0) << Err("root");
  ASSERT_EQ(RunAsOtherUser({"list", "--json"}, env, "other"), 0) << Err("other");
  const std::vector<Json> lines = JsonLines(Out("other"));
  ASSERT_EQ(lines.size(), 2u) << Out("other");
  EXPECT_EQ(lines[0].at("battery"), "ok");  // opened and asked, not passed over
  EXPECT_EQ(lines[1].at("serial"), "B2");
}

TEST_F(LockUsersTest, ALockFolderAnotherUserCannotUseIsReportedWithPathAndCause) {
  auto env = Environment("[meter]\nserial = A1\n");
  ASSERT_EQ(::chmod(Path("meters.ini").c_str(), 0644), 0);
  const std::string locks = Path("locks");
  ASSERT_EQ(::mkdir(locks.c_str(), 0700), 0);  // root's alone
  env["LX40_METER_LOCK_DIR"] = locks;
  struct Case {
    std::vector<std::string> args;
  };
  const std::vector<Case> cases = {{{"list"}}, {{"info", "A1"}}, {{"setup"}}};
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string name = "case" + std::to_string(i);
    SCOPED_TRACE(cases[i].args[0]);
    EXPECT_NE(RunAsOtherUser(cases[i].args, env, name), 0);
    const std::string err = Err(name);
    EXPECT_NE(err.find(locks + "/lx40-meter-"), std::string::npos) << err;
    EXPECT_NE(err.find("Permission denied"), std::string::npos) << err;
    EXPECT_EQ(err.find("no meter found"), std::string::npos) << err;
  }
}

}  // namespace
}  // namespace lx40test
