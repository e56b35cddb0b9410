#include "wizard_core.h"

#include <string>
#include <utility>

#include "page_text.h"
#include "string_ids.h"

namespace {

// Captions shown by the disabled buttons, by slot.
constexpr uint32_t kDisabledCaptions[kButtonCount] = {ids::kButtonCancel, ids::kButtonBack,
                                                      ids::kButtonNext};

}  // namespace

CWizardCore::CWizardCore(WindowPort& port, ResourceSource& tables)
    : m_sensorData(tables), m_port(port), m_colours{{Rgb{}, kWhite}, kWhite, Rgb{}} {}

CWizardCore::~CWizardCore() = default;

template <typename Step>
bool CWizardCore::StepState(Step step) {
  uint8_t current = m_state.load();
  for (;;) {
    uint8_t next = current;
    const bool result = step(next);
    if (next == current || m_state.compare_exchange_weak(current, next)) return result;
  }
}

void CWizardCore::InitCore() { m_colours = ReadWizardColours(m_port); }

bool CWizardCore::LoadSensorTables() {
  if (!m_sensorData.LoadAll()) {
    m_port.ShowMessage(m_port.LoadText(ids::kMessageApplicationError));
    m_port.EndWizard(kResultOk);
    return false;
  }
  std::lock_guard<std::mutex> lock(m_runLock);
  m_runActive = false;
  return true;
}

void CWizardCore::ShowPage() {
  switch (m_state.load()) {
    case STATE_WELCOME: {
      SetButtons(ids::kButtonCancel, 0, ids::kButtonRun);
      CTitleText(m_port, m_colours)
          .WriteString(ids::kTitleMeter, true)
          .NewLine(1)
          .WriteSpaces(1)
          .WriteString(ids::kTitleWizard);
      CStatusText body(m_port, m_colours);
      body.WriteString(ids::kBodyWillBegin, true)
          .NewLine(1)
          .WriteString(ids::kBodyConnectAndRun)
          .NewLine(2)
          .WriteString(ids::kBodySensorsToBeSet)
          .NewLine(1)
          .WriteSpaces(2);
      // Every table in order; Next wraps back to table 0 after the last.
      m_sensorData.Select(0);
      for (uint8_t listed = 0; listed < CSensorData::kTableCount; ++listed) {
        body.WriteText(m_sensorData.TypeCodeText()).WriteSpaces(3);
        if (!m_sensorData.Next()) break;
      }
      break;
    }
    case STATE_CONNECTING:
      SetButtons(0, 0, 0);
      CTitleText(m_port, m_colours).WriteString(ids::kTitlePerforming, true);
      break;
    case STATE_RUNNING:
      SetButtons(ids::kButtonCancel, 0, 0);
      CTitleText(m_port, m_colours).WriteString(ids::kTitlePerforming, true);
      break;
    case STATE_COMPLETE:
      SetButtons(0, ids::kButtonContinue, ids::kButtonClose);
      CTitleText(m_port, m_colours).WriteString(ids::kTitleComplete, true);
      CStatusText(m_port, m_colours)
          .WriteString(ids::kBodyComplete, true)
          .NewLine(1)
          .WriteString(ids::kBodyDisconnect)
          .NewLine(2)
          .WriteString(ids::kBodyAnotherMeter);
      break;
    case STATE_CANCELLED:
      SetButtons(0, ids::kButtonBack, ids::kButtonClose);
      CTitleText(m_port, m_colours).WriteString(ids::kTitleCancelled, true);
      CStatusText(m_port, m_colours).WriteString(ids::kBodyCancelled, true);
      break;
    case STATE_CANCELLING:
      SetButtons(0, 0, 0);
      break;
    default:
      break;
  }
}

void CWizardCore::SetButtons(uint32_t cancelId, uint32_t backId, uint32_t nextId) {
  uint32_t captions[kButtonCount] = {cancelId, backId, nextId};
  for (int i = 0; i < kButtonCount; ++i) m_port.EnableButton(i, captions[i] != 0);
  for (int i = 0; i < kButtonCount; ++i) m_port.SetButtonDefault(i, false);
  if (nextId != 0) {
    SetDefaultButton(kNextButton);
  } else if (cancelId != 0) {
    SetDefaultButton(kCancelButton);
  }
  for (int i = 0; i < kButtonCount; ++i) {
    if (captions[i] == 0) captions[i] = kDisabledCaptions[i];
  }
  for (int i = 0; i < kButtonCount; ++i) {
    m_port.SetButtonCaption(i, m_port.LoadText(captions[i]));
    m_port.ShowButton(i);
  }
}

void CWizardCore::SetDefaultButton(int index) {
  if (index < 0 || index >= kButtonCount) return;
  m_port.SetButtonDefault(index, true);
  m_port.FocusButton(index);
}

bool CWizardCore::AdvanceState() {
  return StepState([](uint8_t& state) {
    switch (state) {
      case STATE_WELCOME:
      case STATE_CONNECTING:
      case STATE_RUNNING:
        ++state;
        return true;
      case STATE_COMPLETE:
      case STATE_CANCELLED:
        return false;
      default:  // STATE_CANCELLING
        return true;
    }
  });
}

bool CWizardCore::StepBackState() {
  return StepState([](uint8_t& state) {
    switch (state) {
      case STATE_WELCOME:
        state = STATE_CANCELLED;
        break;
      case STATE_COMPLETE:
      case STATE_CANCELLED:
        state = STATE_WELCOME;
        break;
      default:
        break;
    }
    return true;
  });
}

void CWizardCore::DrawSeparators() {
  const WizardLayout& layout = Layout();
  for (int32_t i = 0; i < 2; ++i) {
    for (const Separator& line : {layout.topSeparator, layout.bottomSeparator}) {
      m_port.DrawLine({line.from.x, line.from.y + i}, {line.to.x, line.to.y + i},
                      m_colours.separator[i]);
    }
  }
}

void CWizardCore::PaintPage() {
  ShowPage();
  DrawSeparators();
}

void CWizardCore::OnNextButton() {
  if (!AdvanceState()) {
    m_port.EndWizard(kResultCancel);
    return;
  }
  ShowPage();
  if (m_state.load() == STATE_CONNECTING) StartRun();
}

void CWizardCore::OnBackButton() {
  StepBackState();
  ShowPage();
}

void CWizardCore::OnCancelButton() {
  {
    std::lock_guard<std::mutex> lock(m_runLock);
    m_state.store(m_runActive ? STATE_CANCELLING : STATE_CANCELLED);
  }
  ShowPage();
}

SysCommandAction CWizardCore::DecideSysCommand(SystemCommand command) const {
  const uint8_t state = m_state.load();
  if (state == STATE_CONNECTING || state == STATE_RUNNING || state == STATE_CANCELLING) {
    return SysCommandAction::Ignore;
  }
  if (command == SystemCommand::About) return SysCommandAction::ShowAbout;
  if (command == SystemCommand::Close) {
    if (state == STATE_COMPLETE || state == STATE_CANCELLED) return SysCommandAction::PressClose;
    if (state == STATE_WELCOME) return SysCommandAction::PressCancel;
  }
  return SysCommandAction::PlatformDefault;
}

bool CWizardCore::OnSysCommand(SystemCommand command) {
  switch (DecideSysCommand(command)) {
    case SysCommandAction::Ignore:
      return true;
    case SysCommandAction::ShowAbout:
      m_port.ShowAbout();
      return true;
    case SysCommandAction::PressClose:
      OnNextButton();
      return true;
    case SysCommandAction::PressCancel:
      OnCancelButton();
      return true;
    case SysCommandAction::PlatformDefault:
      break;
  }
  return false;
}

void CWizardCore::SetRunStarter(RunStarter starter) { m_runStarter = std::move(starter); }

bool CWizardCore::IsRunActive() const {
  std::lock_guard<std::mutex> lock(m_runLock);
  return m_runActive;
}

WizardState CWizardCore::FinishRun(WizardState finalState) {
  std::lock_guard<std::mutex> lock(m_runLock);
  WizardState stored = finalState == STATE_COMPLETE ? STATE_COMPLETE : STATE_CANCELLED;
  if (stored == STATE_COMPLETE && m_state.load() == STATE_CANCELLING) {
    stored = STATE_CANCELLED;
  }
  m_state.store(stored);
  m_runActive = false;
  return stored;
}

void CWizardCore::StartRun() {
  {
    // Marked before the thread exists, so the run can finish at any moment
    // after it starts and Cancel always sees a run that has not ended.
    std::lock_guard<std::mutex> lock(m_runLock);
    m_runActive = true;
  }
  if (m_runStarter && m_runStarter(*this)) return;

  // No run thread: rather than a page with every button disabled for ever,
  // the wizard shows the cancelled page, from which Back leads to a new try.
  {
    std::lock_guard<std::mutex> lock(m_runLock);
    m_runActive = false;
    m_state.store(STATE_CANCELLED);
  }
  ShowPage();
}
