#include "station_view.h"

#include <algorithm>

#include "device_text.h"
#include "platform.h"

namespace lx40::station {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};

std::string StateText(const BayRow& row) {
  std::string text = BayStateName(row.state);
  if (row.state == BayState::kWorking && !row.table.empty()) {
    text += " " + row.table;
    if (row.percent >= 0) text += " " + std::to_string(row.percent) + "%";
  } else if (row.state == BayState::kSettling) {
    text += " " + row.table;
  } else if (row.state == BayState::kFailed || row.state == BayState::kReplug) {
    if (!row.reason.empty()) text += ": " + devtext::ForDisplay(row.reason, 60);
  }
  return text;
}

}  // namespace

std::string BayLine(const BayRow& row, size_t label_width) {
  std::string text = devtext::ForDisplay(row.label.value_or(row.port));
  text.resize(std::max(label_width, text.size()) + 2, ' ');
  std::string state = StateText(row);
  state.resize(std::max<size_t>(state.size() + 2, 28), ' ');
  return text + state + devtext::ForDisplay(row.serial);
}

std::string CountsLine(const StationCounts& counts) {
  return std::to_string(counts.set) + " set, " + std::to_string(counts.already_set) +
         " already set, " + std::to_string(counts.failed) + " failed";
}

StationView::Style StationView::StyleFor(std::FILE* stream) {
  return platform::CanRewriteInPlace(stream) ? Style::kInPlace : Style::kPlainLines;
}

void StationView::Show(const StationEvent& event, const std::vector<BayRow>& rows,
                       const StationCounts& counts) {
  std::lock_guard lock(mutex_);
  rows_ = rows;
  counts_ = counts;
  if (style_ == Style::kPlainLines) {
    if (event.kind == EventKind::kProgress) return;
    std::fprintf(stream_, "%s\n", EventText(event).c_str());
    std::fflush(stream_);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (event.kind == EventKind::kProgress && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  Redraw();
}

void StationView::Erase() {
  if (drawn_ == 0) return;
  std::fprintf(stream_, "\x1b[%zuA\r\x1b[J", drawn_);
  drawn_ = 0;
}

void StationView::Redraw() {
  Erase();
  std::vector<BayRow> sorted = rows_;
  std::stable_sort(sorted.begin(), sorted.end(), [](const BayRow& a, const BayRow& b) {
    return !a.label && !b.label && a.port < b.port;
  });
  size_t width = 0;
  for (const BayRow& row : sorted) width = std::max(width, row.label.value_or(row.port).size());
  for (const BayRow& row : sorted) std::fprintf(stream_, "%s\x1b[K\n", BayLine(row, width).c_str());
  std::fprintf(stream_, "%s\x1b[K\n", CountsLine(counts_).c_str());
  drawn_ = sorted.size() + 1;
  std::fflush(stream_);
}

void StationView::Message(std::FILE* to, const std::string& line) {
  std::lock_guard lock(mutex_);
  if (style_ == Style::kInPlace && to == stream_) Erase();
  std::fprintf(to, "%s\n", line.c_str());
  std::fflush(to);
  if (style_ == Style::kInPlace && to == stream_) Redraw();
}

void StationView::Finish() {
  std::lock_guard lock(mutex_);
  if (style_ == Style::kInPlace) {
    Redraw();
    drawn_ = 0;
  } else {
    std::fprintf(stream_, "%s\n", CountsLine(counts_).c_str());
    std::fflush(stream_);
  }
}

}  // namespace lx40::station
