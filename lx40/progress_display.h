// What an operator sees while meters are set up. On a terminal or console:
// one line per meter (serial, table, percent, state), rewritten in place.
// Otherwise (a pipe, a file, a log): one plain line per event, so the
// output reads as a log. Messages (errors, the summary) print above the
// live lines. Thread-safe: every meter's worker reports here. A stream
// that cannot be written any more (a closed pipe, a vanished console) is
// dropped: the work goes on, nothing more is written to it, and
// OutputFailed() says so.
#ifndef LX40_LX40_PROGRESS_DISPLAY_H
#define LX40_LX40_PROGRESS_DISPLAY_H

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace lx40 {

class ProgressDisplay {
 public:
  enum class Style { kInPlace, kPlainLines };

  // kInPlace when `stream` is a terminal whose lines can be rewritten
  // (platform::CanRewriteInPlace).
  static Style StyleFor(std::FILE* stream);

  ProgressDisplay(std::FILE* stream, Style style, std::vector<std::string> serials);

  // The meter's current table ("" for none), percent (-1 for none) and
  // state. An event is a change worth a line of its own in the plain
  // style; progress alone is not.
  void Update(size_t unit, const std::string& table, int percent, const std::string& state,
              bool event);

  // Prints one line to `to` (stdout or stderr) above the live lines.
  void Message(std::FILE* to, const std::string& line);

  // Draws the final state of every line; later output goes below it.
  void Finish();

  // Prints one line to the display's own stream, below the live lines (the
  // summary). False when the stream is dropped or the line failed.
  bool Print(const std::string& line);

  // True once a write to the display's stream or to a message's stream
  // failed.
  bool OutputFailed();

 private:
  struct Line {
    std::string table;
    int percent = -1;
    std::string state;
  };
  std::string Format(size_t unit) const;
  void Redraw();
  void Erase();
  // Flushes `to`; a stream whose writes failed is dropped from then on.
  void Flush(std::FILE* to);
  bool Dropped(std::FILE* to) const;

  std::mutex mutex_;
  std::FILE* stream_;
  Style style_;
  std::vector<std::string> serials_;
  std::vector<Line> lines_;
  size_t serial_width_ = 0;
  size_t drawn_ = 0;  // live lines on screen
  std::chrono::steady_clock::time_point last_draw_{};
  std::vector<std::FILE*> dropped_;  // streams whose writes failed
};

}  // namespace lx40

#endif
