// Ids of the string-table entries the wizard loads (texts in
// wizard/resources/strings.inc).
#ifndef LX40_WIZARD_CORE_STRING_IDS_H
#define LX40_WIZARD_CORE_STRING_IDS_H

#include <cstdint>

namespace ids {

inline constexpr uint32_t kAboutTitle = 101;       // "Version"
inline constexpr uint32_t kAboutMenuSuffix = 102;  // "(&A)..."
inline constexpr uint32_t kProductName = 103;      // window title, About line 1
inline constexpr uint32_t kVersionText = 104;
inline constexpr uint32_t kMakerNotice1 = 105;
inline constexpr uint32_t kMakerNotice2 = 106;

inline constexpr uint32_t kTitleMeter = 200;   // "the LX40 OPTICAL POWER METER"
inline constexpr uint32_t kTitleWizard = 300;  // "Sensor Data Setup Wizard"
inline constexpr uint32_t kTitlePerforming = 301;
inline constexpr uint32_t kTitleComplete = 302;
inline constexpr uint32_t kTitleCancelled = 303;

inline constexpr uint32_t kBodyWillBegin = 400;
inline constexpr uint32_t kBodyConnectAndRun = 401;
inline constexpr uint32_t kBodySensorsToBeSet = 402;
inline constexpr uint32_t kStatusRemaining = 403;     // "<Remaining units: "
inline constexpr uint32_t kStatusRemainingEnd = 404;  // ">"
inline constexpr uint32_t kStatusSerialNo = 405;      // "SerialNo:"
inline constexpr uint32_t kStatusSetting = 406;       // "Setting the "
inline constexpr uint32_t kStatusOk = 407;            // "OK"
inline constexpr uint32_t kBodyComplete = 408;
inline constexpr uint32_t kBodyDisconnect = 409;
inline constexpr uint32_t kBodyAnotherMeter = 410;
inline constexpr uint32_t kStatusSettingEnd = 411;  // " ..."
inline constexpr uint32_t kBodyCancelled = 412;
inline constexpr uint32_t kStatusConnecting = 413;
inline constexpr uint32_t kStatusCancelling = 414;

inline constexpr uint32_t kButtonCancel = 500;    // "&Cancel"
inline constexpr uint32_t kButtonNext = 501;      // "&Next >"
inline constexpr uint32_t kButtonBack = 502;      // "< &Back"
inline constexpr uint32_t kButtonClose = 503;     // "C&lose"
inline constexpr uint32_t kButtonContinue = 504;  // "C&ontinue"
inline constexpr uint32_t kButtonRun = 505;       // "R&un"

inline constexpr uint32_t kMessageApplicationError = 600;
inline constexpr uint32_t kMessageDllError = 601;
inline constexpr uint32_t kMessageSignalError = 602;
inline constexpr uint32_t kMessageNoBattery = 603;
inline constexpr uint32_t kMessageAlreadyHasData = 605;

}  // namespace ids

#endif
