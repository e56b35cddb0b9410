// A window for tests: implements the window port and keeps what a person
// would see on the wizard window, so tests can ask "line 2 of the body
// reads ..." or "the Cancel button is enabled and focused".
//
// Model. Text runs with their clip rectangles and font: a fill erases every
// run lying inside it, and a line drawn again at the same cursor (same left
// and top) replaces the run there. Separator lines, the three buttons, the
// progress bar with its position history, every message box in order.
// Strings come from the native string table in the chosen language.
//
// Thread-safe: the setup run draws from its own thread. Callbacks set by a
// test (repaint, message handler) run on the calling thread without the
// window's lock held.
#ifndef LX40_TESTS_SUPPORT_RECORDING_WINDOW_H
#define LX40_TESTS_SUPPORT_RECORDING_WINDOW_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "string_table.h"
#include "window_port.h"

struct TextRun {
  Rect clip;
  std::string text;
  TextFont font = TextFont::Body;
  Rgb background;
};

struct FilledArea {
  Rect area;
  Rgb colour;
};

struct DrawnLine {
  Point from;
  Point to;
  Rgb colour;
};

struct ButtonView {
  std::string caption;
  bool enabled = false;
  bool isDefault = false;
  bool visible = false;
};

struct ProgressView {
  bool exists = false;
  int32_t controlId = 0;
  Rect area;
  bool visible = false;
  int32_t low = 0;
  int32_t high = 0;
  int32_t position = 0;
  std::vector<int32_t> positions;  // every position of the current bar, in order
  int created = 0;                 // bars created so far
  int destroyed = 0;               // bars destroyed so far
};

class RecordingWindow : public WindowPort {
 public:
  // Default system colours of a classic Windows scheme.
  static constexpr Rgb kDefaultButtonFace{240, 240, 240};
  static constexpr Rgb kDefaultButtonShadow{160, 160, 160};

  explicit RecordingWindow(UiLanguage language = UiLanguage::English);

  // --- WindowPort --------------------------------------------------------
  void FillArea(const Rect& area, Rgb colour) override;
  void DrawLine(Point from, Point to, Rgb colour) override;
  void DrawTextLine(const Rect& clip, const std::string& text, TextFont font,
                    Rgb background) override;
  void SetButtonCaption(int index, const std::string& caption) override;
  void EnableButton(int index, bool enabled) override;
  void SetButtonDefault(int index, bool isDefault) override;
  void FocusButton(int index) override;
  void ShowButton(int index) override;
  void CreateProgress(const Rect& area, int32_t controlId) override;
  void DestroyProgress() override;
  void SetProgressRange(int32_t low, int32_t high) override;
  void SetProgressPosition(int32_t position) override;
  void AdvanceProgress(int32_t delta) override;
  void ShowProgress() override;
  void ShowMessage(const std::string& text) override;
  std::string LoadText(uint32_t id) override;
  Rgb GetSystemColour(SystemColour which) override;
  void RepaintNow() override;
  void RunOnWindowThread(const std::function<void()>& work) override;
  void EndWizard(int result) override;
  void ShowAbout() override;

  // --- Set-up by the test ------------------------------------------------
  void SetLanguage(UiLanguage language);
  void SetSystemColour(SystemColour which, Rgb colour);
  // What a synchronous paint does (typically the wizard's PaintPage).
  void SetRepaintHandler(std::function<void()> handler);
  // Called with each message box's text while the box is up, before it is
  // answered (for example to press a button meanwhile).
  void SetMessageHandler(std::function<void(const std::string&)> handler);
  // When held, a message box stays up until the test calls AnswerMessage;
  // otherwise it is answered at once.
  void HoldMessages(bool hold);
  // Waits until a held box is up; false if none came (a hang guard, not a
  // timing check).
  bool WaitForOpenMessage();
  // Presses OK on the box that is up; false when none is.
  bool AnswerMessage();
  // Forgets the keyboard focus, so a test can see whether a drawing moves it.
  void ClearFocus();

  // --- What is on screen -------------------------------------------------
  std::vector<TextRun> Runs() const;
  // Runs lying inside `area`, top to bottom, then left to right.
  std::vector<TextRun> RunsIn(const Rect& area) const;
  std::vector<std::string> LinesIn(const Rect& area) const;
  std::vector<std::string> BodyLines() const;   // the body area
  std::vector<std::string> TitleLines() const;  // the title band
  std::optional<TextRun> RunAt(int32_t left, int32_t top) const;
  std::vector<FilledArea> Fills() const;
  std::vector<DrawnLine> Lines() const;
  ButtonView Button(int index) const;
  int FocusedButton() const;  // -1 when no button has the focus
  ProgressView Progress() const;
  std::vector<std::string> Messages() const;  // every box shown, in order
  std::optional<std::string> OpenMessage() const;
  int Repaints() const;
  int AboutBoxes() const;
  std::optional<int> EndResult() const;
  // Text draws, fills and line draws so far.
  size_t DrawCalls() const;

 private:
  static bool ValidButton(int index) { return index >= 0 && index < kButtons; }

  static constexpr int kButtons = 3;

  mutable std::mutex m_lock;
  std::condition_variable m_messageChanged;
  UiLanguage m_language;
  Rgb m_buttonFace = kDefaultButtonFace;
  Rgb m_buttonShadow = kDefaultButtonShadow;
  std::vector<TextRun> m_runs;
  std::vector<FilledArea> m_fills;
  std::vector<DrawnLine> m_lines;
  size_t m_drawCalls = 0;
  ButtonView m_buttons[kButtons];
  int m_focus = -1;
  ProgressView m_progress;
  std::vector<std::string> m_messages;
  bool m_holdMessages = false;
  bool m_messageOpen = false;
  uint64_t m_answered = 0;
  std::function<void(const std::string&)> m_messageHandler;
  std::function<void()> m_repaintHandler;
  int m_repaints = 0;
  int m_aboutBoxes = 0;
  std::optional<int> m_endResult;
};

#endif
