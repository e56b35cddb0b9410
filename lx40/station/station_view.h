// What the operator sees of a station. On a terminal: one row per bay
// (bay, state, serial), rewritten in place, and a line of counts since the
// start. Otherwise (a pipe, a log): one plain line per event, progress left
// out. Fed by the board's sink; thread-safe.
#ifndef LX40_LX40_STATION_STATION_VIEW_H
#define LX40_LX40_STATION_STATION_VIEW_H

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "bay_board.h"
#include "station_events.h"

namespace lx40::station {

// One bay's row as the terminal shows it.
std::string BayLine(const BayRow& row, size_t label_width);
std::string CountsLine(const StationCounts& counts);

class StationView {
 public:
  enum class Style { kInPlace, kPlainLines };
  static Style StyleFor(std::FILE* stream);

  StationView(std::FILE* stream, Style style) : stream_(stream), style_(style) {}

  void Show(const StationEvent& event, const std::vector<BayRow>& rows,
            const StationCounts& counts);
  // A line above the rows (a message, the summary).
  void Message(std::FILE* to, const std::string& line);
  // The last state drawn; later output goes below it.
  void Finish();

 private:
  void Redraw();
  void Erase();

  std::mutex mutex_;
  std::FILE* stream_;
  Style style_;
  std::vector<BayRow> rows_;
  StationCounts counts_;
  size_t drawn_ = 0;
  std::chrono::steady_clock::time_point last_draw_{};
};

}  // namespace lx40::station

#endif
