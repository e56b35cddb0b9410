#include "wizard_process.h"

#include <cstdio>

#include "poll.h"

namespace gui {

namespace {

constexpr const wchar_t* kProgramFiles[] = {L"Sensorwiz.exe", L"Meterlink.dll", L"Bulkpipe.dll",
                                            L"usbhost_sim.dll"};

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

std::wstring DriverFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring full(path, length);
  return full.substr(0, full.find_last_of(L"\\/") + 1);
}

std::wstring PrepareScenarioFolder(const std::string& name, const std::string& meterConfig) {
  const std::wstring source = DriverFolder();
  if (source.empty()) return {};
  const std::wstring root = source + L"gui-scenarios\\";
  const std::wstring folder = root + std::wstring(name.begin(), name.end()) + L"\\";
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW((folder + L"lx40sim.ini").c_str());
  DeleteFileW((folder + L"lx40sim.log").c_str());
  for (const wchar_t* file : kProgramFiles) {
    if (!CopyFileW((source + file).c_str(), (folder + file).c_str(), FALSE)) return {};
  }
  if (!meterConfig.empty() && !WriteFileBytes(folder + L"lx40sim.ini", meterConfig)) return {};
  return folder;
}

std::string ReadSimulatorLog(const std::wstring& folder) {
  FILE* file = _wfopen((folder + L"lx40sim.log").c_str(), L"rb");
  if (file == nullptr) return {};
  std::string text;
  char block[4096];
  size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0 && text.size() < (1u << 20)) {
    text.append(block, n);
  }
  std::fclose(file);
  return text;
}

WizardProcess::~WizardProcess() {
  Terminate();
  if (m_info.hThread != nullptr) CloseHandle(m_info.hThread);
  if (m_info.hProcess != nullptr) CloseHandle(m_info.hProcess);
}

bool WizardProcess::Start(const std::wstring& folder) {
  const std::wstring exe = folder + L"Sensorwiz.exe";
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &m_info) != FALSE;
}

bool WizardProcess::Running() const {
  return m_info.hProcess != nullptr && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

bool WizardProcess::WaitForExit(DWORD timeoutMs) const {
  return m_info.hProcess != nullptr &&
         WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void WizardProcess::Terminate() {
  if (!Running()) return;
  TerminateProcess(m_info.hProcess, 99);
  WaitForSingleObject(m_info.hProcess, kStepTimeoutMs);
}

}  // namespace gui
