#include "demo_tour.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driven_wizard.h"
#include "poll.h"
#include "text.h"

namespace gui {

namespace {

// The cancelled run: one meter, slow enough to be cancelled mid-table.
constexpr char kSlowMeter[] = "[meter]\nserial = A12345678\nlatency_us = 2000\n";
constexpr DWORD kShotTimeoutMs = 30000;

class Tour {
 public:
  Tour(std::wstring shotFolder, const Captions& captions)
      : m_shotFolder(std::move(shotFolder)), m_captions(captions) {}

  int Run() {
    if (!WholeRun() || !CancelledRun()) return 1;
    std::printf("demo: tour complete\n");
    return 0;
  }

 private:
  bool Fail(const std::string& what) {
    std::printf("demo: %s\n", what.c_str());
    std::fflush(stdout);
    return false;
  }

  bool Start(DrivenWizard& wizard, const char* name, const char* meters) {
    std::string error;
    if (!wizard.Prepare(name, meters, &error) || !wizard.Start(&error)) return Fail(error);
    if (!wizard.Window().WaitForPage(Page::kStart, kStepTimeoutMs)) {
      return Fail("the start page did not appear");
    }
    return true;
  }

  // Asks the script for a picture of the wizard and waits until it is taken.
  bool Shot(WizardWindow& window, const char* name) {
    Sleep(300);  // let the last drawing reach the screen
    const RECT r = window.ScreenRect();
    const std::wstring want = m_shotFolder + FromUtf8(name) + L".want";
    FILE* file = _wfopen(want.c_str(), L"wb");
    if (file == nullptr) return Fail("cannot write " + ToUtf8(want));
    std::fprintf(file, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    std::fclose(file);
    std::printf("demo: page '%s' ready for its screenshot\n", name);
    std::fflush(stdout);
    if (!WaitUntil([&] { return GetFileAttributesW(want.c_str()) == INVALID_FILE_ATTRIBUTES; },
                   kShotTimeoutMs)) {
      DeleteFileW(want.c_str());
      return Fail(std::string("no screenshot was taken of ") + name);
    }
    return true;
  }

  bool WholeRun() {
    DrivenWizard wizard(m_captions);
    if (!Start(wizard, "demo", "")) return false;
    WizardWindow& window = wizard.Window();
    if (!Shot(window, "start")) return false;

    window.Click(kNextButton);
    // The running page with the progress bar well on its way.
    const bool moving = WaitUntil(
        [&] {
          const ProgressState p = window.Progress();
          return window.CurrentPage() == Page::kRunning && p.visible && p.answered &&
                 p.high > p.low && p.position > (p.high - p.low) / 3;
        },
        kRunTimeoutMs);
    if (!moving) return Fail("the run did not get going");
    if (!Shot(window, "running")) return false;

    std::vector<OwnedDialog> messages;
    if (!wizard.RunToPage(Page::kComplete, &messages, kRunTimeoutMs)) {
      return Fail("the run did not complete");
    }
    for (const OwnedDialog& box : messages) {
      std::printf("demo: message box: %s\n", ToUtf8(box.text).c_str());
    }
    if (!Shot(window, "complete")) return false;
    window.Click(kNextButton);
    if (!wizard.Process().WaitForExit(kStepTimeoutMs)) return Fail("Close did not end the wizard");
    return true;
  }

  bool CancelledRun() {
    DrivenWizard wizard(m_captions);
    if (!Start(wizard, "demo-cancel", kSlowMeter)) return false;
    WizardWindow& window = wizard.Window();
    window.Click(kNextButton);
    if (!window.WaitForPage(Page::kRunning, kRunTimeoutMs)) return Fail("the run did not start");
    window.Click(kCancelButton);
    if (!wizard.RunToPage(Page::kCancelled, nullptr, kRunTimeoutMs)) {
      return Fail("the cancelled page did not come");
    }
    if (!Shot(window, "cancelled")) return false;
    window.Click(kNextButton);
    if (!wizard.Process().WaitForExit(kStepTimeoutMs)) return Fail("Close did not end the wizard");
    return true;
  }

  std::wstring m_shotFolder;
  const Captions& m_captions;
};

}  // namespace

int RunDemoTour(int argc, char** argv) {
  if (argc < 1) {
    std::printf("usage: gui_driver demo <shot folder> [--japanese]\n");
    return 2;
  }
  std::wstring folder = FromUtf8(argv[0]);
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  const bool japanese = argc >= 2 && std::strcmp(argv[1], "--japanese") == 0;
  Tour tour(folder, japanese ? JapaneseCaptions() : EnglishCaptions());
  return tour.Run();
}

}  // namespace gui
