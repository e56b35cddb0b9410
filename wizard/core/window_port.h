// The wizard window as the portable wizard sees it. The pages, the text
// writers and the setup run draw and act only through this interface; the
// Win32 dialog implements it with GDI and USER32, tests with a recording
// window.
//
// Threads. The window has its own thread (the one running the dialog loop).
// The setup run has another and draws while it works. Members marked
// "any thread" may be called from the run's thread as well: an
// implementation either does the work directly (it must then be safe
// against the window thread doing the same at the same time) or marshals
// it to the window thread and waits until it is done. Members marked
// "window thread" are only called from the window's own handlers.
// No member may block on the setup run; the window thread keeps serving
// marshalled calls at all times, which is what keeps a run that waits for
// the window from deadlocking.
#ifndef LX40_WIZARD_CORE_WINDOW_PORT_H
#define LX40_WIZARD_CORE_WINDOW_PORT_H

#include <cstdint>
#include <functional>
#include <string>

#include "geometry.h"

// The two text fonts of the wizard; the values are the writers' font
// selectors.
enum class TextFont : uint8_t { Title = 0, Body = 1 };

// System colours the wizard reads, by their platform index.
enum class SystemColour : uint8_t {
  ButtonFace = 15,    // COLOR_BTNFACE
  ButtonShadow = 16,  // COLOR_BTNSHADOW
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // --- Client-area canvas (any thread) -----------------------------------
  // Fills `area` (right and bottom exclusive) with `colour`: a solid 1-pixel
  // pen and a solid brush of the same colour, so the whole area takes it.
  virtual void FillArea(const Rect& area, Rgb colour) = 0;
  // A 1-pixel line in `colour` from `from` up to, not including, `to`.
  virtual void DrawLine(Point from, Point to, Rgb colour) = 0;
  // One line of UTF-8 text, left-aligned at the top-left of `clip`, not
  // wrapped, clipped to `clip` (nothing shows when it is empty), drawn
  // opaque on `background` in the default text colour with `font`.
  virtual void DrawTextLine(const Rect& clip, const std::string& text, TextFont font,
                            Rgb background) = 0;

  // --- The three push buttons, index 0 (601), 1 (602), 2 (603) (any thread)
  virtual void SetButtonCaption(int index, const std::string& caption) = 0;
  virtual void EnableButton(int index, bool enabled) = 0;
  // Default push-button style when `isDefault`, plain otherwise; redrawn.
  virtual void SetButtonDefault(int index, bool isDefault) = 0;
  virtual void FocusButton(int index) = 0;
  // Shows the button (normal show).
  virtual void ShowButton(int index) = 0;

  // --- The run's progress bar (any thread) -------------------------------
  // Creates a smooth progress bar in `area` with control id `controlId`,
  // not yet visible. Any bar that exists is destroyed first.
  virtual void CreateProgress(const Rect& area, int32_t controlId) = 0;
  // Destroys the bar; nothing happens when there is none.
  virtual void DestroyProgress() = 0;
  // Range low..high, position, step by delta, show. Without a bar nothing
  // happens.
  virtual void SetProgressRange(int32_t low, int32_t high) = 0;
  virtual void SetProgressPosition(int32_t position) = 0;
  virtual void AdvanceProgress(int32_t delta) = 0;
  virtual void ShowProgress() = 0;

  // --- Messages, strings, colours (any thread) ---------------------------
  // A message box owned by the wizard: `text`, the program's name as
  // caption, one OK button, no icon. Returns when the operator pressed OK.
  virtual void ShowMessage(const std::string& text) = 0;
  // String-table entry `id` in the user-interface language (UTF-8); empty
  // for an unknown id.
  virtual std::string LoadText(uint32_t id) = 0;
  virtual Rgb GetSystemColour(SystemColour which) = 0;

  // --- Window control ----------------------------------------------------
  // Any thread: has the window paint its page now and returns once that
  // is done (a synchronous paint message). Called by the run at its end,
  // never while it holds the wizard's run lock.
  virtual void RepaintNow() = 0;
  // Any thread: runs `work` on the window's thread and returns after it
  // ran; on the window thread it runs at once. Lets a run marshal a batch
  // of drawing. Never called while holding the wizard's run lock.
  virtual void RunOnWindowThread(const std::function<void()>& work) = 0;
  // Window thread: ends the modal wizard with `result` (1 OK, 2 Cancel).
  virtual void EndWizard(int result) = 0;
  // Window thread: shows the About box modally.
  virtual void ShowAbout() = 0;
};

#endif
