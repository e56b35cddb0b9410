// Entry point of Sensorwiz.exe. The application object exists before the
// entry runs; the program has no command line.
#include <windows.h>

#include "setup_app.h"

namespace {
CSetupApp theApp;
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
  return theApp.Run(instance);
}
