#include "setup_wizard_dlg.h"

#include "about_dlg.h"
#include "layout.h"
#include "resource_ids.h"
#include "string_ids.h"
#include "win32_resources.h"
#include "win32_text.h"

namespace {

// The sensor data tables are the executable's resources.
Win32Resources& ExecutableResources() {
  static Win32Resources resources;
  return resources;
}

}  // namespace

CSetupWizardDlg::CSetupWizardDlg()
    : CModalDialog(IDD_SETUPWIZARD),
      CWizardCore(static_cast<WindowPort&>(*this), ExecutableResources()),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

void CSetupWizardDlg::DoDataExchange() {
  m_btnCancel = GetDlgItem(m_hWnd, IDC_BUTTON_CANCEL);
  m_btnBack = GetDlgItem(m_hWnd, IDC_BUTTON_BACK);
  m_btnNext = GetDlgItem(m_hWnd, IDC_BUTTON_NEXT);
}

BOOL CSetupWizardDlg::OnInitDialog() {
  CModalDialog::OnInitDialog();
  AttachWindow(m_hWnd, m_btnCancel, m_btnBack, m_btnNext);

  // "Version(&A)..." after a separator in the system menu.
  if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE)) {
    const std::wstring item =
        LoadWideString(ids::kAboutTitle) + LoadWideString(ids::kAboutMenuSuffix);
    if (!item.empty()) {
      AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, item.c_str());
    }
  }

  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  InitWizard();
  return TRUE;
}

bool CSetupWizardDlg::InitWizard() {
  SetWindowTextW(m_hWnd, LoadWideString(ids::kProductName).c_str());
  InitCore();  // colours
  ApplyWindowSize();
  LayoutButtons();
  CreateTextFonts();
  // A refused setting is said and ends the wizard before its first page,
  // as a missing table does.
  if (!m_settingsError.empty()) {
    ShowMessage(m_settingsError);
    EndWizard(kResultOk);
    return false;
  }
  // On failure: message 600, and the dialog ends with result 1.
  return LoadSensorTables();
}

void CSetupWizardDlg::ApplyWindowSize() {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  MoveWindow(m_hWnd, window.left, window.top, Layout().window.Width(), Layout().window.Height(),
             TRUE);
}

void CSetupWizardDlg::LayoutButtons() {
  // m_pButtons was filled by AttachWindow: 601, 602, 603.
  m_fontButton = CreateWizardFont(kButtonFont);
  for (int i = 0; i < kButtonCount; ++i) {
    if (m_pButtons[i] == nullptr) continue;
    const Rect& r = Layout().buttons[i];
    MoveWindow(m_pButtons[i], r.left, r.top, r.Width(), r.Height(), TRUE);
    SendMessageW(m_pButtons[i], WM_SETFONT, reinterpret_cast<WPARAM>(m_fontButton), TRUE);
  }
}

void CSetupWizardDlg::CreateTextFonts() {
  m_fontTitle = CreateWizardFont(kTitleFont);
  m_fontBody = CreateWizardFont(kBodyFont);
}

bool CSetupWizardDlg::OnCommand(UINT id, UINT code) {
  if (id == IDC_BUTTON_CANCEL || id == IDC_BUTTON_BACK || id == IDC_BUTTON_NEXT) {
    if (code != BN_CLICKED) return false;
    // A disabled button causes no event. A command for it that arrives
    // anyway (sent by another program, or queued just before the button
    // was disabled) is dropped: acting on it would move the state under a
    // running setup.
    const HWND button = GetDlgItem(m_hWnd, static_cast<int>(id));
    if (button == nullptr || !IsWindowEnabled(button)) return true;
    if (id == IDC_BUTTON_CANCEL) OnCancelButton();
    if (id == IDC_BUTTON_BACK) OnBackButton();
    if (id == IDC_BUTTON_NEXT) OnNextButton();
    return true;
  }
  return CModalDialog::OnCommand(id, code);
}

// Keyboard. The dialog manager turns Enter into a click of the focused
// default push button, or else into IDOK; Escape (and a WM_CLOSE) into
// IDCANCEL. The wizard must never end while a run is active, so neither
// command ends the dialog directly:
//  - Enter presses the page's default button when it is enabled: "R&un" on
//    the start page, "&Cancel" while the run loads data, "C&lose" on the
//    complete and cancelled pages. The connecting and cancelling pages have
//    no default button, and Enter does nothing there.
//  - Escape does what the title bar's close button does: on the start page
//    it shows the cancelled page (as "&Cancel"), on the complete and
//    cancelled pages it ends the wizard (as "C&lose"), while a run is active
//    it does nothing.
void CSetupWizardDlg::OnOK() {
  for (int i = 0; i < kButtonCount; ++i) {
    const HWND button = m_pButtons[i];
    if (button == nullptr || !IsWindowEnabled(button)) continue;
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      OnCommand(static_cast<UINT>(GetDlgCtrlID(button)), BN_CLICKED);
      return;
    }
  }
}

void CSetupWizardDlg::OnCancel() { CWizardCore::OnSysCommand(SystemCommand::Close); }

void CSetupWizardDlg::EndWizard(int result) {
  // The run uses this window, its fonts and its progress bar until it
  // ends; the wizard never ends under it.
  if (IsRunActive()) return;
  EndDialog(result);
}

void CSetupWizardDlg::ShowAbout() {
  CAboutDlg about;
  about.DoModal(m_hWnd);
}

bool CSetupWizardDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_SYSCOMMAND:
      result = OnSysCommand(wParam) ? TRUE : FALSE;
      return true;
    case WM_PAINT:
      OnPaint();
      result = FALSE;  // the system's paint handling validates the window
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<INT_PTR>(OnQueryDragIcon());
      return true;
    case kRunOnWindowThreadMessage:
      HandleMarshalledCall(lParam);
      result = TRUE;
      return true;
    case WM_DESTROY:
      DetachWindow();
      return false;
    default:
      return false;
  }
}

bool CSetupWizardDlg::OnSysCommand(WPARAM id) {
  // The low four bits of a system command are the system's own.
  const WPARAM command = id & 0xFFF0u;
  SystemCommand translated = SystemCommand::Other;
  if (command == SC_CLOSE) translated = SystemCommand::Close;
  if (command == IDM_ABOUTBOX) translated = SystemCommand::About;
  // False: the system's handling (move, minimise, restore, ...) runs.
  return CWizardCore::OnSysCommand(translated);
}

void CSetupWizardDlg::OnPaint() {
  if (IsIconic(m_hWnd)) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    DrawIcon(dc, (client.right - iconWidth + 1) / 2, (client.bottom - iconHeight + 1) / 2, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return;
  }
  // The page is drawn through a client device context, before the system's
  // paint handling validates the window. A background erase still pending
  // for the invalid part is done first: done later (in BeginPaint) it would
  // wipe the page just drawn there.
  RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASENOW | RDW_NOCHILDREN);
  PaintPage();
}
