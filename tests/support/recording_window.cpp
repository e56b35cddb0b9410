#include "recording_window.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "layout.h"

namespace {

// Bounds every wait of a test on the window, so a wrong test fails instead
// of hanging; no test relies on how long anything takes.
constexpr std::chrono::seconds kHangGuard{60};

bool SameCursor(const Rect& a, const Rect& b) { return a.left == b.left && a.top == b.top; }

}  // namespace

RecordingWindow::RecordingWindow(UiLanguage language) : m_language(language) {}

void RecordingWindow::FillArea(const Rect& area, Rgb colour) {
  std::lock_guard<std::mutex> lock(m_lock);
  ++m_drawCalls;
  m_fills.push_back({area, colour});
  std::erase_if(m_runs, [&](const TextRun& run) { return area.Contains(run.clip); });
}

void RecordingWindow::DrawLine(Point from, Point to, Rgb colour) {
  std::lock_guard<std::mutex> lock(m_lock);
  ++m_drawCalls;
  m_lines.push_back({from, to, colour});
}

void RecordingWindow::DrawTextLine(const Rect& clip, const std::string& text, TextFont font,
                                   Rgb background) {
  std::lock_guard<std::mutex> lock(m_lock);
  ++m_drawCalls;
  if (clip.IsEmpty() || text.empty()) return;  // nothing shows
  std::erase_if(m_runs, [&](const TextRun& run) { return SameCursor(run.clip, clip); });
  m_runs.push_back({clip, text, font, background});
}

void RecordingWindow::SetButtonCaption(int index, const std::string& caption) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (ValidButton(index)) m_buttons[index].caption = caption;
}

void RecordingWindow::EnableButton(int index, bool enabled) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (ValidButton(index)) m_buttons[index].enabled = enabled;
}

void RecordingWindow::SetButtonDefault(int index, bool isDefault) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (ValidButton(index)) m_buttons[index].isDefault = isDefault;
}

void RecordingWindow::FocusButton(int index) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (ValidButton(index)) m_focus = index;
}

void RecordingWindow::ShowButton(int index) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (ValidButton(index)) m_buttons[index].visible = true;
}

void RecordingWindow::CreateProgress(const Rect& area, int32_t controlId) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_progress.exists) ++m_progress.destroyed;
  const int created = m_progress.created + 1;
  const int destroyed = m_progress.destroyed;
  m_progress = ProgressView{};
  m_progress.exists = true;
  m_progress.controlId = controlId;
  m_progress.area = area;
  m_progress.created = created;
  m_progress.destroyed = destroyed;
}

void RecordingWindow::DestroyProgress() {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_progress.exists) return;
  m_progress.exists = false;
  m_progress.visible = false;
  ++m_progress.destroyed;
}

void RecordingWindow::SetProgressRange(int32_t low, int32_t high) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_progress.exists) return;
  m_progress.low = low;
  m_progress.high = high;
}

void RecordingWindow::SetProgressPosition(int32_t position) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_progress.exists) return;
  // The bar keeps its position inside its range, as the control does.
  m_progress.position =
      std::clamp(position, m_progress.low, std::max(m_progress.low, m_progress.high));
  m_progress.positions.push_back(m_progress.position);
}

void RecordingWindow::AdvanceProgress(int32_t delta) {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_progress.exists) return;
  const int64_t wanted = int64_t{m_progress.position} + delta;
  const int64_t high = std::max(m_progress.low, m_progress.high);
  m_progress.position = static_cast<int32_t>(std::clamp<int64_t>(wanted, m_progress.low, high));
  m_progress.positions.push_back(m_progress.position);
}

void RecordingWindow::ShowProgress() {
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_progress.exists) m_progress.visible = true;
}

void RecordingWindow::ShowMessage(const std::string& text) {
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_messages.push_back(text);
    m_messageOpen = true;
    handler = m_messageHandler;
  }
  m_messageChanged.notify_all();
  if (handler) handler(text);

  std::unique_lock<std::mutex> lock(m_lock);
  if (m_holdMessages) {
    const uint64_t answered = m_answered;
    m_messageChanged.wait_for(lock, kHangGuard, [&] { return m_answered != answered; });
  }
  m_messageOpen = false;
}

std::string RecordingWindow::LoadText(uint32_t id) {
  std::lock_guard<std::mutex> lock(m_lock);
  // The wizard's table only, as Sensorwiz.exe's string loader sees it.
  return std::string(LookupString(WizardStrings(), id, m_language));
}

Rgb RecordingWindow::GetSystemColour(SystemColour which) {
  std::lock_guard<std::mutex> lock(m_lock);
  return which == SystemColour::ButtonShadow ? m_buttonShadow : m_buttonFace;
}

void RecordingWindow::RepaintNow() {
  std::function<void()> handler;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_repaints;
    handler = m_repaintHandler;
  }
  if (handler) handler();
}

void RecordingWindow::RunOnWindowThread(const std::function<void()>& work) {
  if (work) work();
}

void RecordingWindow::EndWizard(int result) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_endResult = result;
}

void RecordingWindow::ShowAbout() {
  std::lock_guard<std::mutex> lock(m_lock);
  ++m_aboutBoxes;
}

void RecordingWindow::SetLanguage(UiLanguage language) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_language = language;
}

void RecordingWindow::SetSystemColour(SystemColour which, Rgb colour) {
  std::lock_guard<std::mutex> lock(m_lock);
  (which == SystemColour::ButtonShadow ? m_buttonShadow : m_buttonFace) = colour;
}

void RecordingWindow::SetRepaintHandler(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_repaintHandler = std::move(handler);
}

void RecordingWindow::SetMessageHandler(std::function<void(const std::string&)> handler) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_messageHandler = std::move(handler);
}

void RecordingWindow::HoldMessages(bool hold) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_holdMessages = hold;
}

bool RecordingWindow::WaitForOpenMessage() {
  std::unique_lock<std::mutex> lock(m_lock);
  return m_messageChanged.wait_for(lock, kHangGuard, [&] { return m_messageOpen; });
}

bool RecordingWindow::AnswerMessage() {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_messageOpen) return false;
    ++m_answered;
  }
  m_messageChanged.notify_all();
  return true;
}

void RecordingWindow::ClearFocus() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_focus = -1;
}

std::vector<TextRun> RecordingWindow::Runs() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_runs;
}

std::vector<TextRun> RecordingWindow::RunsIn(const Rect& area) const {
  std::vector<TextRun> runs = Runs();
  std::erase_if(runs, [&](const TextRun& run) { return !area.Contains(run.clip); });
  std::stable_sort(runs.begin(), runs.end(), [](const TextRun& a, const TextRun& b) {
    return a.clip.top != b.clip.top ? a.clip.top < b.clip.top : a.clip.left < b.clip.left;
  });
  return runs;
}

std::vector<std::string> RecordingWindow::LinesIn(const Rect& area) const {
  std::vector<std::string> lines;
  for (const TextRun& run : RunsIn(area)) lines.push_back(run.text);
  return lines;
}

std::vector<std::string> RecordingWindow::BodyLines() const { return LinesIn(Layout().bodyArea); }

std::vector<std::string> RecordingWindow::TitleLines() const { return LinesIn(Layout().titleBand); }

std::optional<TextRun> RecordingWindow::RunAt(int32_t left, int32_t top) const {
  std::lock_guard<std::mutex> lock(m_lock);
  for (const TextRun& run : m_runs) {
    if (run.clip.left == left && run.clip.top == top) return run;
  }
  return std::nullopt;
}

std::vector<FilledArea> RecordingWindow::Fills() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_fills;
}

std::vector<DrawnLine> RecordingWindow::Lines() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_lines;
}

ButtonView RecordingWindow::Button(int index) const {
  std::lock_guard<std::mutex> lock(m_lock);
  return ValidButton(index) ? m_buttons[index] : ButtonView{};
}

int RecordingWindow::FocusedButton() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_focus;
}

ProgressView RecordingWindow::Progress() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_progress;
}

std::vector<std::string> RecordingWindow::Messages() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_messages;
}

std::optional<std::string> RecordingWindow::OpenMessage() const {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_messageOpen || m_messages.empty()) return std::nullopt;
  return m_messages.back();
}

int RecordingWindow::Repaints() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_repaints;
}

int RecordingWindow::AboutBoxes() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_aboutBoxes;
}

std::optional<int> RecordingWindow::EndResult() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_endResult;
}

size_t RecordingWindow::DrawCalls() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_drawCalls;
}
