#include <set>
#include <string>

#include <gtest/gtest.h>

#include "string_ids.h"
#include "string_table.h"

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

TEST(StringTable, EveryEntryHasBothLanguagesAndAUniqueId) {
  ASSERT_FALSE(AllStrings().empty());
  std::set<uint32_t> seen;
  for (const StringEntry& entry : AllStrings()) {
    EXPECT_TRUE(seen.insert(entry.id).second) << "id " << entry.id << " twice";
    EXPECT_FALSE(entry.english.empty()) << entry.id;
    EXPECT_FALSE(entry.japanese.empty()) << entry.id;
    EXPECT_TRUE(HasString(entry.id)) << entry.id;
    EXPECT_EQ(LookupString(entry.id), entry.english) << entry.id;
    EXPECT_EQ(LookupString(entry.id, UiLanguage::Japanese), entry.japanese) << entry.id;
  }
}

// The names the wizard uses come from the same lines as the texts.
TEST(StringTable, NamedIdsReachTheirTexts) {
  EXPECT_EQ(LookupString(ids::kStatusOk), "OK");
  EXPECT_EQ(LookupString(ids::kButtonRun), "R&un");
  EXPECT_EQ(LookupString(ids::kMessageApplicationError), "Application error.");
}

}  // namespace
