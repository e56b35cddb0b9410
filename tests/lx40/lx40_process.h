// Runs the lx40 program as a station's software would: its own process,
// its own environment, its output in files, Ctrl+C as SIGINT.
#ifndef LX40_TESTS_LX40_LX40_PROCESS_H
#define LX40_TESTS_LX40_LX40_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace lx40test {

std::string ReadFile(const std::string& path);
// A program's text output with Windows line ends (CR LF) made LF.
std::string TextOutput(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

class Lx40Process {
 public:
  // Starts `program` with `args`. The environment is this process's without
  // any LX40_* variable, plus `environment`. stdout and stderr go to
  // `output_prefix`.out and .err; with `stdout_fd` (a pipe's write end,
  // say) stdout goes there instead.
  Lx40Process(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& environment,
              const std::string& output_prefix, int stdout_fd = -1);
  ~Lx40Process();
  Lx40Process(const Lx40Process&) = delete;
  Lx40Process& operator=(const Lx40Process&) = delete;

  // Waits until stdout (stderr) contains `text`; false after `limit`.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit) const;
  bool WaitForErrorOutput(const std::string& text, std::chrono::milliseconds limit) const;
  void Interrupt() const;  // SIGINT, as Ctrl+C
  void Signal(int signal_number) const;
  // Waits for the end and returns the exit status (-1: killed after
  // `limit`, or ended by a signal).
  int Wait(std::chrono::milliseconds limit = std::chrono::seconds(120));

  std::string Out() const { return TextOutput(out_path_); }
  std::string Err() const { return TextOutput(err_path_); }

 private:
  pid_t pid_ = -1;
  bool waited_ = false;
  int status_ = -1;
  std::string out_path_;
  std::string err_path_;
};

// Runs to the end and returns the exit status.
int RunLx40(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& environment,
            const std::string& output_prefix);

}  // namespace lx40test

#endif
