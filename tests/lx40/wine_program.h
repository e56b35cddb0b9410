// The same end-to-end tests run lx40.exe of a Windows simulator build under
// Wine when LX40_TEST_WINE_PROGRAM names it: the program becomes Wine with
// lx40.exe as its first argument, and every path under the test's scratch
// folder, in the arguments and in the environment, becomes the Windows path
// `winepath -w` gives for it. Wine must be prepared (scripts/wine-env).
#ifndef LX40_TESTS_LX40_WINE_PROGRAM_H
#define LX40_TESTS_LX40_WINE_PROGRAM_H

#include <map>
#include <string>
#include <vector>

namespace lx40test {

struct Lx40Command {
  std::string program;
  std::vector<std::string> args;
  std::map<std::string, std::string> environment;
};

// True when the tests run lx40.exe under Wine.
bool UnderWine();

// The command that runs lx40 (`native_program` unless under Wine) with
// `args` and `environment`; paths that start with `scratch` are converted
// under Wine.
Lx40Command MakeLx40Command(const std::string& native_program, const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& environment,
                            const std::string& scratch);

// The path as the program sees it ("Z:\\tmp\\..." under Wine).
std::string ProgramPath(const std::string& path);

}  // namespace lx40test

#endif
