#include <string>

#include <gtest/gtest.h>

#include "wizard/core/string_ids.h"
#include "wizard/resources/string_table.h"

namespace {

TEST(StringTable, EntriesKeepTheirSpacesAndQuotes) {
  EXPECT_EQ(LookupString(403), "<Remaining units: ");
  EXPECT_EQ(LookupString(406), "Setting the ");
  EXPECT_EQ(LookupString(411), " ...");
  EXPECT_EQ(LookupString(406, UiLanguage::Japanese), " ");
  EXPECT_EQ(LookupString(401),
            "Connect the LX40 Optical Power Meter to the computer with a USB cable and select "
            "\"Run\".");
  EXPECT_EQ(LookupString(410),
            "To perform setup on another LX40 Optical Power Meter, select \"Continue\".");
}

TEST(StringTable, EnglishIsTheDefaultAndJapaneseIsSelectable) {
  EXPECT_EQ(LookupString(600), "Application error.");
  EXPECT_EQ(LookupString(600, UiLanguage::Japanese), "センサデータエラー。起動できません。");
  EXPECT_EQ(LookupString(403, UiLanguage::Japanese), "<残り");
  EXPECT_EQ(LookupString(404, UiLanguage::Japanese), "台>");
}

TEST(StringTable, UnknownIdGivesAnEmptyText) {
  EXPECT_FALSE(HasString(604));
  EXPECT_TRUE(LookupString(604).empty());
  EXPECT_TRUE(LookupString(0, UiLanguage::Japanese).empty());
}

TEST(StringTable, EveryIdTheWizardUsesExistsInBothLanguages) {
  const uint32_t used[] = {
      ids::kAboutTitle,
      ids::kAboutMenuSuffix,
      ids::kProductName,
      ids::kVersionText,
      ids::kMakerNotice1,
      ids::kMakerNotice2,
      ids::kTitleMeter,
      ids::kTitleWizard,
      ids::kTitlePerforming,
      ids::kTitleComplete,
      ids::kTitleCancelled,
      ids::kBodyWillBegin,
      ids::kBodyConnectAndRun,
      ids::kBodySensorsToBeSet,
      ids::kStatusRemaining,
      ids::kStatusRemainingEnd,
      ids::kStatusSerialNo,
      ids::kStatusSetting,
      ids::kStatusOk,
      ids::kBodyComplete,
      ids::kBodyDisconnect,
      ids::kBodyAnotherMeter,
      ids::kStatusSettingEnd,
      ids::kBodyCancelled,
      ids::kStatusConnecting,
      ids::kStatusCancelling,
      ids::kButtonCancel,
      ids::kButtonNext,
      ids::kButtonBack,
      ids::kButtonClose,
      ids::kButtonContinue,
      ids::kButtonRun,
      ids::kMessageApplicationError,
      ids::kMessageDllError,
      ids::kMessageSignalError,
      ids::kMessageNoBattery,
      ids::kMessageAlreadyHasData,
  };
  for (uint32_t id : used) {
    EXPECT_TRUE(HasString(id)) << id;
    EXPECT_FALSE(LookupString(id, UiLanguage::English).empty()) << id;
    EXPECT_FALSE(LookupString(id, UiLanguage::Japanese).empty()) << id;
  }
}

}  // namespace
