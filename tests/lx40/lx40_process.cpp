#include "lx40_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace lx40test {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string TextOutput(const std::string& path) {
  std::string text = ReadFile(path);
  std::string plain;
  plain.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    plain.push_back(text[i]);
  }
  return plain;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  if (!file) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

Lx40Process::Lx40Process(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& environment,
                         const std::string& output_prefix, int stdout_fd)
    : out_path_(output_prefix + ".out"), err_path_(output_prefix + ".err") {
  std::vector<std::string> env_strings;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "LX40_", 5) != 0) env_strings.emplace_back(*entry);
  }
  for (const auto& [name, value] : environment) env_strings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : env_strings) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::vector<std::string> arg_strings{program};
  arg_strings.insert(arg_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : arg_strings) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (stdout_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, stdout_fd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  }
  posix_spawn_file_actions_addopen(&actions, 2, err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
}

Lx40Process::~Lx40Process() {
  if (!waited_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

namespace {

bool WaitForFileText(const std::string& path, const std::string& text,
                     std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (ReadFile(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

}  // namespace

bool Lx40Process::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) const {
  return WaitForFileText(out_path_, text, limit);
}

bool Lx40Process::WaitForErrorOutput(const std::string& text,
                                     std::chrono::milliseconds limit) const {
  return WaitForFileText(err_path_, text, limit);
}

void Lx40Process::Interrupt() const { ::kill(pid_, SIGINT); }

void Lx40Process::Signal(int signal_number) const { ::kill(pid_, signal_number); }

int Lx40Process::Wait(std::chrono::milliseconds limit) {
  if (waited_) return status_;
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() >= end) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      waited_ = true;
      return status_ = -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  waited_ = true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return status_;
}

int RunLx40(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& environment,
            const std::string& output_prefix) {
  Lx40Process process(program, args, environment, output_prefix);
  return process.Wait();
}

}  // namespace lx40test
