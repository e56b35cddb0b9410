// The setup run: the wizard's work, done on a thread of its own. It opens
// the attached meters and, meter after meter, shows the serial number and
// the number of meters remaining, checks the battery and the filled slots,
// and loads every sensor data table whose slot is still empty, with a
// progress bar per table. It ends by moving the wizard to its complete or
// cancelled page.
//
// The run draws only through the wizard's window port (members marked "any
// thread") and talks to meters only through CMeterSession and, at its ends,
// Meterlink's ResetDeviceUSB and CloseAllDevice.
#ifndef LX40_WIZARD_CORE_SETUP_RUN_H
#define LX40_WIZARD_CORE_SETUP_RUN_H

#include <chrono>
#include <cstdint>
#include <string>

#include "mlink.h"

class CWizardCore;

// The pause after each table's trailer: kSettleSteps times a cancel check,
// a wait and a progress step of kSettleDelta, which fills the kSettleRange
// added to the bar's range.
inline constexpr int kSettleSteps = 300;
inline constexpr int32_t kSettleDelta = 10;
inline constexpr int32_t kSettleRange = kSettleSteps * kSettleDelta;

struct SetupRunOptions {
  // The wait of each of the settle steps after a table: MLINK_SETTLE_MS
  // over the steps, 10 ms each (the CPU idle). Only a simulator build's
  // settle setting and tests change it; the steps and their progress values
  // stay the same either way.
  std::chrono::microseconds settleStep =
      std::chrono::microseconds(std::chrono::milliseconds(MLINK_SETTLE_MS)) / kSettleSteps;
};

// The options of the program: the settle time as every program takes it
// (settle_time.h: MLINK_SETTLE_MS, in a simulator build LX40_SETTLE_MS),
// spread over the same steps. A malformed LX40_SETTLE_MS is refused: `error`
// gets the message, which the program shows before it ends, and the options
// are the defaults. `error` is empty otherwise.
SetupRunOptions ProgramRunOptions(std::string* error);

// The run itself, from "Connecting..." to the final page. Runs on the run's
// thread, started by the wizard's Run button with the run already marked
// active; always ends with CWizardCore::FinishRun and a synchronous repaint,
// after which it touches neither the wizard nor its window.
void SetupRun(CWizardCore& wizard, const SetupRunOptions& options = {});

// Destroys the progress bar if there is one and creates it again: smooth,
// hidden, in the layout's progress rectangle, control id 700.
void RecreateProgress(CWizardCore& wizard);
// Range 0..maximum, position 0, shown.
void StartProgress(CWizardCore& wizard, int32_t maximum);

#endif
