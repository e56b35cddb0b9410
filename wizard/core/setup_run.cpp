#include "setup_run.h"

#include <string>
#include <thread>

#include "device_text.h"
#include "layout.h"
#include "meter_session.h"
#include "meterlink.h"
#include "page_text.h"
#include "string_ids.h"
#include "wizard_core.h"

namespace {

// How a run's work stopped, which decides its end.
enum class RunEnd : uint8_t {
  Normal,     // every meter done, or a failure (the session's result tells)
  Cancelled,  // a cancel request seen after a table was finished
};

enum class TableOutcome : uint8_t { Loaded, Failed, Cancelled };

// The result a run ends with when meters were counted but not all of them
// could be walked: MLINK_BAD_ARGUMENT, as the wizard has always set it; it
// shows the signal error.
constexpr int32_t kMetersLeftOver = MLINK_BAD_ARGUMENT;

// One run: its locals, its steps and its two ends. Lives on the run
// thread's stack for the whole run.
class SetupRunSteps {
 public:
  SetupRunSteps(CWizardCore& wizard, const SetupRunOptions& options)
      : m_wizard(wizard),
        m_port(wizard.Port()),
        m_tables(wizard.m_sensorData),
        m_options(options),
        m_status(wizard.Port(), wizard.Colours()) {}

  void Run() {
    if (Work() == RunEnd::Cancelled) {
      EndCancelled();
    } else {
      EndNormally();
    }
  }

 private:
  RunEnd Work() {
    m_status.WriteString(ids::kStatusConnecting, true);
    m_meter.m_result = MLINK_OK;
    m_remaining = 0;
    if (!m_meter.OpenMeters(&m_remaining)) return RunEnd::Normal;
    RecreateProgress(m_wizard);
    m_wizard.AdvanceState();  // CONNECTING -> RUNNING: Cancel becomes available
    m_wizard.ShowPage();
    if (!NextMeter()) return RunEnd::Normal;

    for (;;) {  // one meter after the other, in the order of the serial list
      m_remainingText = std::to_string(m_remaining);
      WriteMeterHeader();
      uint8_t alreadyFilled = 0;
      uint8_t slots[CMeterSession::kSlotCount] = {};
      if (!m_meter.QueryTest(slots)) return RunEnd::Normal;

      m_tables.Select(0);
      do {
        const uint16_t slot = m_tables.Slot();
        // A slot the meter does not have is never indexed; its table is
        // skipped like one that is already present.
        if (slot >= CMeterSession::kSlotCount || slots[slot] != 0) {
          ++alreadyFilled;
          continue;
        }
        switch (LoadCurrentTable()) {
          case TableOutcome::Loaded:
            break;
          case TableOutcome::Failed:
            return RunEnd::Normal;
          case TableOutcome::Cancelled:
            return RunEnd::Cancelled;
        }
      } while (m_tables.Next());

      if (alreadyFilled >= CSensorData::kTableCount) {
        m_port.ShowMessage(m_port.LoadText(ids::kMessageAlreadyHasData));
      }
      --m_remaining;
      if (!NextMeter()) return RunEnd::Normal;
    }
  }

  // The next meter of the serial walk; false at its end or on a failure.
  // The walk passes over a counted meter whose serial number could not be
  // read (pulled out or not answering while the meters were opened): if it
  // ends with meters still to do, they were not set up, and the run must
  // not end as complete. That is the signal error.
  bool NextMeter() {
    if (m_meter.NextMeter(m_serial)) return true;
    if (m_meter.IsOk() && m_remaining > 0) m_meter.m_result = kMetersLeftOver;
    return false;
  }

  // The current table into the current meter, with its progress cycle and
  // the settle pause after it. A cancel request is noticed during the
  // records and the pause but acted on only once the table is complete.
  TableOutcome LoadCurrentTable() {
    WriteMeterHeader();
    if (!m_meter.StartHosei(m_tables.Table(), m_tables.RecordCount())) {
      return TableOutcome::Failed;
    }
    m_status.WriteSpaces(1)
        .WriteString(ids::kStatusSetting)
        .WriteText(m_tables.TypeCodeText())
        .WriteString(ids::kStatusSettingEnd);
    if (!m_meter.SendHeaderBlock(&m_count)) return TableOutcome::Failed;
    StartProgress(m_wizard, int32_t{m_tables.TotalSize()} + kSettleRange);

    // The call that sends the last record returns false; it gets no step.
    while (m_meter.SendRecord(&m_count)) {
      CheckCancel();
      m_port.AdvanceProgress(m_count);
    }
    if (!m_meter.SendTrailer()) return TableOutcome::Failed;

    for (int step = 0; step < kSettleSteps; ++step) {
      CheckCancel();
      if (m_options.settleStep.count() > 0) std::this_thread::sleep_for(m_options.settleStep);
      m_port.AdvanceProgress(kSettleDelta);
    }
    if (m_wizard.State() == STATE_CANCELLING) return TableOutcome::Cancelled;

    m_status.WriteString(ids::kStatusOk).NewLine(1);
    return TableOutcome::Loaded;
  }

  // "<Remaining units: n>" and "SerialNo:serial", on a cleared body. The
  // serial number is the meter's: shown escaped, whatever bytes it holds.
  void WriteMeterHeader() {
    m_status.WriteString(ids::kStatusRemaining, true)
        .WriteSpaces(1)
        .WriteText(m_remainingText)
        .WriteString(ids::kStatusRemainingEnd)
        .NewLine(1)
        .WriteString(ids::kStatusSerialNo)
        .WriteText(devtext::ForDisplay(m_serial))
        .NewLine(1);
  }

  // The first cancel request seen replaces the body with "Cancelling...".
  void CheckCancel() {
    if (m_wizard.State() == STATE_CANCELLING && !m_cancelShown) {
      m_status.WriteString(ids::kStatusCancelling, true);
      m_cancelShown = true;
    }
  }

  // A cancel request ended the run after a complete table: the current
  // meter is reset and the device table closed.
  void EndCancelled() {
    // Meterlink first, the wizard after. Once FinishRun has cleared the
    // run-active flag the cancelled page may appear and a new run start at
    // any moment (Back, then Run), and Meterlink takes no locks: this run
    // must be done with it by then. For the same reason the progress bar,
    // which a new run creates again, goes before FinishRun.
    ResetDeviceUSB();
    CloseAllDevice();
    m_port.DestroyProgress();
    m_wizard.FinishRun(STATE_CANCELLED);
    m_port.RepaintNow();
  }

  // Every meter done, or a failure: the device table is closed; a failure
  // shows its message (an empty text where it has none).
  void EndNormally() {
    CloseAllDevice();
    m_port.DestroyProgress();
    WizardState finalState = STATE_COMPLETE;  // a pending cancel makes it CANCELLED
    if (!m_meter.IsOk()) {
      const unsigned messageId = m_meter.GetMessageId();
      m_port.ShowMessage(messageId != 0 ? m_port.LoadText(messageId) : std::string());
      finalState = STATE_CANCELLED;
    }
    m_wizard.FinishRun(finalState);
    m_port.RepaintNow();
  }

  CWizardCore& m_wizard;
  WindowPort& m_port;
  CSensorData& m_tables;
  const SetupRunOptions& m_options;
  CStatusText m_status;
  CMeterSession m_meter;
  int32_t m_remaining = 0;
  std::string m_remainingText;
  std::string m_serial;
  bool m_cancelShown = false;
  uint8_t m_count = 0;  // bytes handled by the last transfer step
};

}  // namespace

void SetupRun(CWizardCore& wizard, const SetupRunOptions& options) {
  SetupRunSteps(wizard, options).Run();
}

void RecreateProgress(CWizardCore& wizard) {
  WindowPort& port = wizard.Port();
  port.DestroyProgress();
  port.CreateProgress(Layout().progressBar, kProgressControlId);
}

void StartProgress(CWizardCore& wizard, int32_t maximum) {
  WindowPort& port = wizard.Port();
  port.SetProgressRange(0, maximum);
  port.SetProgressPosition(0);
  port.ShowProgress();
}
