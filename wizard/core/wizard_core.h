// The wizard's portable core: the wizard state, the page table, the three
// buttons' logic and the button and system-menu handlers, the run-active
// flag with the lock that makes a run's end and a Cancel agree, and the
// sensor data tables. The Win32 wizard dialog derives from it and forwards
// its messages here; everything it does to the window goes through the
// window port.
#ifndef LX40_WIZARD_CORE_WIZARD_CORE_H
#define LX40_WIZARD_CORE_WIZARD_CORE_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "layout.h"
#include "resource_source.h"
#include "sensor_data.h"
#include "window_port.h"

enum WizardState : uint8_t {
  STATE_WELCOME = 0,     // start page
  STATE_CONNECTING = 1,  // Run pressed; the run is opening the meters
  STATE_RUNNING = 2,     // the run is loading data into the meters
  STATE_COMPLETE = 3,    // the run finished without error
  STATE_CANCELLED = 4,   // cancelled, failed, or Cancel on the start page
  STATE_CANCELLING = 5,  // Cancel pressed during a run; waiting for it to stop
};

// A system-menu command, as the platform layer names it to the wizard.
enum class SystemCommand : uint8_t {
  Close,  // the title bar's close button, Alt+F4, Escape
  About,  // the About item the wizard adds to the system menu
  Other,  // move, minimise, restore and the rest
};

// What a system command does in the current state.
enum class SysCommandAction : uint8_t {
  Ignore,       // a run is active: no close, move, minimise or About
  ShowAbout,    // SystemCommand::About
  PressClose,   // Close on the complete or cancelled page: as button 603
  PressCancel,  // Close on the start page: as button 601
  PlatformDefault,
};

class CWizardCore {
 public:
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;
  static constexpr int kCancelButton = 0;  // index of control 601
  static constexpr int kBackButton = 1;    // 602
  static constexpr int kNextButton = 2;    // 603

  // Starts the setup run's thread for this wizard. Called on the window
  // thread with the run already marked active; returns false when no
  // thread could be made. A started run must end with FinishRun.
  using RunStarter = std::function<bool(CWizardCore&)>;

  // `port` and `tables` must outlive the wizard. Neither is used here, so a
  // derived window may pass itself as the port.
  CWizardCore(WindowPort& port, ResourceSource& tables);
  virtual ~CWizardCore();
  CWizardCore(const CWizardCore&) = delete;
  CWizardCore& operator=(const CWizardCore&) = delete;

  WindowPort& Port() const { return m_port; }
  const WizardColours& Colours() const { return m_colours; }
  // The wizard state, shared by the window thread and the run thread.
  // Starts at STATE_WELCOME.
  WizardState State() const { return static_cast<WizardState>(m_state.load()); }

  // --- Initialisation (window thread) ------------------------------------
  // Reads the colours from the port.
  void InitCore();
  // Loads both sensor data tables. On failure shows message 600 and ends
  // the wizard with result 1 (OK), returning false.
  bool LoadSensorTables();

  // --- Pages (any thread) ------------------------------------------------
  // Draws the page of the current state: buttons, title band, body.
  void ShowPage();
  // Sets the buttons from three string ids; 0 disables that button.
  void SetButtons(uint32_t cancelId, uint32_t backId, uint32_t nextId);
  // Default push style and keyboard focus to button `index` (0..2).
  void SetDefaultButton(int index);
  // The state steps: 0->1, 1->2, 2->3 true; 3, 4 unchanged, false; 5
  // unchanged, true. A state stored by the other thread meanwhile is never
  // overwritten by a step computed from an older value.
  bool AdvanceState();
  // 0->4, 3->0, 4->0; 1, 2, 5 unchanged; always true.
  bool StepBackState();
  // The two etched separators at the top and bottom of the page.
  void DrawSeparators();
  // What a paint of the (not minimised) window draws: page and separators.
  void PaintPage();

  // --- Handlers (window thread) ------------------------------------------
  void OnNextButton();    // 603
  void OnBackButton();    // 602
  void OnCancelButton();  // 601
  SysCommandAction DecideSysCommand(SystemCommand command) const;
  // Acts on a system command; false when the platform's default handling
  // should run.
  bool OnSysCommand(SystemCommand command);

  // --- The setup run -----------------------------------------------------
  void SetRunStarter(RunStarter starter);
  // True from the Run button until the run's FinishRun.
  bool IsRunActive() const;
  // The run's end (run thread): under the run lock, store the final state
  // and clear the run-active flag. `finalState` is STATE_COMPLETE or
  // STATE_CANCELLED; any other value counts as STATE_CANCELLED. A pending
  // cancel request turns STATE_COMPLETE into STATE_CANCELLED. Returns the
  // state stored. The caller repaints afterwards, outside the lock.
  WizardState FinishRun(WizardState finalState);

  CSensorData m_sensorData;

 protected:
  // Puts the wizard in `state` without a step (tests that start on a page).
  void StoreState(WizardState state) { m_state.store(state); }

 private:
  void StartRun();
  // Applies `step` to the state; a value the other thread stored between
  // the read and the write makes the step start again from that value.
  template <typename Step>
  bool StepState(Step step);

  WindowPort& m_port;
  WizardColours m_colours;
  std::atomic<uint8_t> m_state{STATE_WELCOME};
  RunStarter m_runStarter;
  // Guards the run-active flag and every decision that depends on it
  // together with the state: the run's final state and Cancel's choice
  // between CANCELLING and CANCELLED. Never held across a port call.
  mutable std::mutex m_runLock;
  bool m_runActive = false;  // stands for the run thread's handle
};

#endif
