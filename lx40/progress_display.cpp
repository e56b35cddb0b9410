#include "progress_display.h"

#include <algorithm>

#include "device_text.h"
#include "meter_messages.h"
#include "platform.h"
#include "string_ids.h"

namespace lx40 {

namespace {

// Redrawing more often than this only costs time on a slow console.
constexpr std::chrono::milliseconds kRedrawInterval{100};
// A message line at most this long on the terminal.
constexpr size_t kMaxMessageChars = 400;

}  // namespace

ProgressDisplay::Style ProgressDisplay::StyleFor(std::FILE* stream) {
  return platform::CanRewriteInPlace(stream) ? Style::kInPlace : Style::kPlainLines;
}

ProgressDisplay::ProgressDisplay(std::FILE* stream, Style style, std::vector<std::string> serials)
    : stream_(stream), style_(style), serials_(std::move(serials)), lines_(serials_.size()) {
  // Serial numbers are the meters' own text: shown escaped.
  for (std::string& serial : serials_) serial = devtext::ForDisplay(serial);
  for (const std::string& serial : serials_) serial_width_ = std::max(serial_width_, serial.size());
  for (Line& line : lines_) line.state = EnglishText(lx40_ids::kStepWaiting);
}

std::string ProgressDisplay::Format(size_t unit) const {
  const Line& line = lines_[unit];
  std::string text = serials_[unit];
  text.resize(serial_width_ + 2, ' ');
  std::string table = line.table;
  table.resize(std::max<size_t>(table.size() + 1, 16), ' ');
  text += table;
  char percent[16] = "     ";
  if (line.percent >= 0) std::snprintf(percent, sizeof percent, "%3d%% ", line.percent);
  text += percent;
  text += ' ';
  text += line.state;
  return text;
}

bool ProgressDisplay::Dropped(std::FILE* to) const {
  return std::find(dropped_.begin(), dropped_.end(), to) != dropped_.end();
}

void ProgressDisplay::Flush(std::FILE* to) {
  if (Dropped(to)) return;
  if (std::fflush(to) != 0 || std::ferror(to) != 0) {
    dropped_.push_back(to);
    if (to == stream_) drawn_ = 0;
  }
}

void ProgressDisplay::Erase() {
  if (drawn_ == 0 || Dropped(stream_)) return;
  // Up to the first live line, then clear everything below.
  std::fprintf(stream_, "\x1b[%zuA\r\x1b[J", drawn_);
  drawn_ = 0;
}

void ProgressDisplay::Redraw() {
  if (Dropped(stream_)) return;
  Erase();
  for (size_t unit = 0; unit < lines_.size(); ++unit) {
    std::fprintf(stream_, "%s\x1b[K\n", Format(unit).c_str());
  }
  drawn_ = lines_.size();
  Flush(stream_);
  last_draw_ = std::chrono::steady_clock::now();
}

void ProgressDisplay::Update(size_t unit, const std::string& table, int percent,
                             const std::string& state, bool event) {
  std::lock_guard lock(mutex_);
  if (unit >= lines_.size()) return;
  lines_[unit] = Line{table, percent, state};
  if (style_ == Style::kPlainLines) {
    if (!event || Dropped(stream_)) return;
    std::string text = serials_[unit] + ": ";
    if (!table.empty()) text += table + ": ";
    text += state;
    std::fprintf(stream_, "%s\n", text.c_str());
    Flush(stream_);
    return;
  }
  if (event || std::chrono::steady_clock::now() - last_draw_ >= kRedrawInterval) Redraw();
}

void ProgressDisplay::Message(std::FILE* to, const std::string& line) {
  std::lock_guard lock(mutex_);
  const bool live = style_ == Style::kInPlace && drawn_ > 0;
  if (live) {
    Erase();
    Flush(stream_);
  }
  // A message may quote a meter's text: escaped, like everything shown.
  if (!Dropped(to)) {
    std::fprintf(to, "%s\n", devtext::ForDisplay(line, kMaxMessageChars).c_str());
    Flush(to);
  }
  if (live) Redraw();
}

bool ProgressDisplay::Print(const std::string& line) {
  std::lock_guard lock(mutex_);
  if (Dropped(stream_)) return false;
  std::fprintf(stream_, "%s\n", line.c_str());
  Flush(stream_);
  return !Dropped(stream_);
}

bool ProgressDisplay::OutputFailed() {
  std::lock_guard lock(mutex_);
  return !dropped_.empty();
}

void ProgressDisplay::Finish() {
  std::lock_guard lock(mutex_);
  if (style_ == Style::kInPlace) Redraw();
  Flush(stream_);
  drawn_ = 0;  // the final lines stay; nothing rewrites them
}

}  // namespace lx40
