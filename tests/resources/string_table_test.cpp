#include <set>
#include <span>
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

// Both tables: every entry in both languages, every id once across them,
// each table in its own range.
TEST(StringTable, EveryEntryHasBothLanguagesAndAUniqueId) {
  struct Table {
    const char* name;
    std::span<const StringEntry> entries;
    uint32_t first;
    uint32_t last;
  };
  const Table tables[] = {{"wizard", WizardStrings(), 100, 999},
                          {"lx40", Lx40Strings(), 1000, 1999}};
  std::set<uint32_t> seen;
  for (const Table& table : tables) {
    SCOPED_TRACE(table.name);
    ASSERT_FALSE(table.entries.empty());
    for (const StringEntry& entry : table.entries) {
      EXPECT_TRUE(seen.insert(entry.id).second) << "id " << entry.id << " twice";
      EXPECT_GE(entry.id, table.first);
      EXPECT_LE(entry.id, table.last);
      EXPECT_FALSE(entry.english.empty()) << entry.id;
      EXPECT_FALSE(entry.japanese.empty()) << entry.id;
      EXPECT_TRUE(HasString(entry.id)) << entry.id;
      EXPECT_EQ(LookupString(entry.id), entry.english) << entry.id;
      EXPECT_EQ(LookupString(entry.id, UiLanguage::Japanese), entry.japanese) << entry.id;
      EXPECT_EQ(LookupString(table.entries, entry.id), entry.english) << entry.id;
    }
  }
}

// The wizard's table is what Sensorwiz.exe carries: lx40's texts are not in
// it, nor the wizard's in lx40's.
TEST(StringTable, EachTableHoldsOnlyItsOwnEntries) {
  EXPECT_TRUE(LookupString(WizardStrings(), lx40_ids::kStepWriting).empty());
  EXPECT_TRUE(LookupString(Lx40Strings(), ids::kMessageSignalError).empty());
  EXPECT_EQ(LookupString(lx40_ids::kStepWriting), "writing");
}

// The names the programs use come from the same lines as the texts.
TEST(StringTable, NamedIdsReachTheirTexts) {
  EXPECT_EQ(LookupString(ids::kStatusOk), "OK");
  EXPECT_EQ(LookupString(ids::kButtonRun), "R&un");
  EXPECT_EQ(LookupString(ids::kMessageApplicationError), "Application error.");
  EXPECT_EQ(LookupString(lx40_ids::kResultFailed), "FAILED");
  EXPECT_EQ(LookupString(lx40_ids::kResultAlreadySet, UiLanguage::Japanese), "設定済み");
}

}  // namespace
