#include "settle_time.h"
#include "setup_run.h"

SetupRunOptions ProgramRunOptions(std::string* error) {
  SetupRunOptions options;
  const std::chrono::milliseconds settle = SettleTime(error);
  if (!error->empty()) return options;
  // Spread over the same steps, so the progress bar moves as usual.
  options.settleStep = std::chrono::microseconds(settle) / kSettleSteps;
  return options;
}
