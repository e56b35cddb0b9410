// lx40's command line parser, used for several command lines in a row: each
// parse starts from the defaults, whatever the one before it set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"

namespace {

std::optional<int> Parse(lx40::CommandLine& parser, std::vector<std::string> words) {
  words.insert(words.begin(), "lx40");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return parser.Parse(static_cast<int>(words.size()), argv.data());
}

TEST(CommandLineTest, EachParseStartsFromTheDefaults) {
  lx40::CommandLine parser;
  ASSERT_EQ(Parse(parser, {"setup", "A1", "B2", "--jobs", "2", "--json", "--record", "r.jsonl"}),
            std::nullopt);
  EXPECT_EQ(parser.options().command, lx40::Command::kSetup);
  EXPECT_EQ(parser.options().serials, (std::vector<std::string>{"A1", "B2"}));
  EXPECT_EQ(parser.options().jobs, 2u);

  ASSERT_EQ(Parse(parser, {"list"}), std::nullopt);
  EXPECT_EQ(parser.options().command, lx40::Command::kList);
  EXPECT_TRUE(parser.options().serials.empty());
  EXPECT_EQ(parser.options().jobs, 0u);
  EXPECT_FALSE(parser.options().json);
  EXPECT_EQ(parser.options().record_file, "");

  ASSERT_EQ(Parse(parser, {"measure", "C3", "--count", "5"}), std::nullopt);
  EXPECT_EQ(parser.options().serials, std::vector<std::string>{"C3"});
  EXPECT_EQ(parser.options().count, 5);
  ASSERT_EQ(Parse(parser, {"measure", "D4"}), std::nullopt);
  EXPECT_EQ(parser.options().serials, std::vector<std::string>{"D4"});
  EXPECT_EQ(parser.options().count, 1);
}

TEST(CommandLineTest, BadUsageAfterAGoodLineIsStillBadUsage) {
  lx40::CommandLine parser;
  ASSERT_EQ(Parse(parser, {"info", "A1"}), std::nullopt);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Parse(parser, {"info"}), 2);  // SERIAL is required again
  EXPECT_EQ(Parse(parser, {"table", "export", "9999", "f.bin"}), 2);
  testing::internal::GetCapturedStderr();
}

}  // namespace
