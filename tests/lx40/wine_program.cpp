#include "wine_program.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>

namespace lx40test {

namespace {

constexpr char kWine[] = "/usr/lib/wine/wine64";

const char* WineProgram() {
  const char* program = std::getenv("LX40_TEST_WINE_PROGRAM");
  return program != nullptr && *program != '\0' ? program : nullptr;
}

std::string Winepath(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, std::string> known;
  std::lock_guard lock(mutex);
  if (auto it = known.find(path); it != known.end()) return it->second;
  const std::string command = "winepath -w '" + path + "' 2>/dev/null";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run winepath");
  char buffer[4096] = {};
  std::string windows_path;
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) windows_path += buffer;
  ::pclose(pipe);
  while (!windows_path.empty() && (windows_path.back() == '\n' || windows_path.back() == '\r')) {
    windows_path.pop_back();
  }
  if (windows_path.empty()) throw std::runtime_error("winepath gave nothing for " + path);
  known[path] = windows_path;
  return windows_path;
}

std::string Convert(const std::string& text, const std::string& scratch) {
  return text.rfind(scratch, 0) == 0 ? Winepath(text) : text;
}

}  // namespace

bool UnderWine() { return WineProgram() != nullptr; }

std::string ProgramPath(const std::string& path) { return UnderWine() ? Winepath(path) : path; }

Lx40Command MakeLx40Command(const std::string& native_program, const std::vector<std::string>& args,
                            const std::map<std::string, std::string>& environment,
                            const std::string& scratch) {
  const char* exe = WineProgram();
  if (exe == nullptr) return {native_program, args, environment};
  Lx40Command command{kWine, {exe}, {}};
  for (const std::string& arg : args) command.args.push_back(Convert(arg, scratch));
  for (const auto& [name, value] : environment) {
    command.environment[name] = Convert(value, scratch);
  }
  return command;
}

}  // namespace lx40test
