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

#include "wizard/core/layout.h"
#include "wizard/core/resource_source.h"
#include "wizard/core/sensor_data.h"
#include "wizard/core/window_port.h"

enum WizardState : uint8_t {
  STATE_WELCOME = 0,     // start page
  STATE_CONNECTING = 1,  // Run pressed; the run is opening the meters
  STATE_RUNNING = 2,     // the run is loading data into the meters
  STATE_COMPLETE = 3,    // the run finished without error
  STATE_CANCELLED = 4,   // cancelled, failed, or Cancel on the start page
  STATE_CANCELLING = 5,  // Cancel pressed during a run; waiting for it to stop
};

// The wizard state, one byte shared by the window thread and the run
// thread. Starts at STATE_WELCOME and is never reset.
extern std::atomic<uint8_t> g_wizardState;

class CWizardCore;
// The one live wizard, through which the writers and the run reach it. Set
// by InitCore before any page is drawn or run started.
extern CWizardCore* g_pWizardDlg;

// What a system command does in the current state.
enum class SysCommandAction : uint8_t {
  Ignore,       // a run is active: no close, move, minimise or About
  ShowAbout,    // IDM_ABOUTBOX
  PressClose,   // Close on the complete or cancelled page: as button 603
  PressCancel,  // Close on the start page: as button 601
  PlatformDefault,
};

class CWizardCore {
 public:
  static constexpr uint32_t IDM_ABOUTBOX = 16;
  static constexpr uint32_t kSysCommandClose = 0xF060;  // the platform's SC_CLOSE
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

  // --- Initialisation (window thread) ------------------------------------
  // Makes this the live wizard (g_pWizardDlg) and reads the colours.
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
  SysCommandAction DecideSysCommand(uint32_t id) const;
  // Acts on a system command; false when the platform's default handling
  // should run.
  bool OnSysCommand(uint32_t id);

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

 private:
  void StartRun();

  WindowPort& m_port;
  WizardColours m_colours;
  RunStarter m_runStarter;
  // Guards the run-active flag and every decision that depends on it
  // together with the state: the run's final state and Cancel's choice
  // between CANCELLING and CANCELLED. Never held across a port call.
  mutable std::mutex m_runLock;
  bool m_runActive = false;  // stands for the run thread's handle
};

#endif
