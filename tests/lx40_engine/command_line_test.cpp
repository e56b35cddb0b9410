// lx40's command line: the table of subcommands, each with options of its
// own, and a parser used for several command lines in a row (each parse
// starts from the defaults, whatever the one before it set).
#include "command_line.h"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "command_measure.h"
#include "command_setup.h"
#include "command_table.h"
#include "subcommands.h"

namespace {

std::optional<int> Parse(lx40::CommandLine& parser, std::vector<std::string> words) {
  words.insert(words.begin(), "lx40");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return parser.Parse(static_cast<int>(words.size()), argv.data());
}

TEST(CommandLineTest, EachParseStartsFromTheDefaults) {
  lx40::CommandLine parser(lx40::Subcommands());
  ASSERT_EQ(Parse(parser, {"setup", "A1", "B2", "--jobs", "2", "--json", "--record", "r.jsonl"}),
            std::nullopt);
  EXPECT_EQ(parser.Parsed(), "setup");
  const auto* setup = parser.ParsedOptions<lx40::SetupOptions>();
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->serials, (std::vector<std::string>{"A1", "B2"}));
  EXPECT_EQ(setup->jobs, 2u);
  EXPECT_TRUE(setup->json);
  EXPECT_EQ(setup->record_file, "r.jsonl");
  EXPECT_EQ(parser.ParsedOptions<lx40::MeasureOptions>(), nullptr);

  ASSERT_EQ(Parse(parser, {"setup"}), std::nullopt);
  setup = parser.ParsedOptions<lx40::SetupOptions>();
  ASSERT_NE(setup, nullptr);
  EXPECT_TRUE(setup->serials.empty());
  EXPECT_EQ(setup->jobs, 0u);
  EXPECT_FALSE(setup->json);
  EXPECT_EQ(setup->record_file, "");

  ASSERT_EQ(Parse(parser, {"list"}), std::nullopt);
  EXPECT_EQ(parser.Parsed(), "list");

  ASSERT_EQ(Parse(parser, {"measure", "C3", "--count", "5"}), std::nullopt);
  const auto* measure = parser.ParsedOptions<lx40::MeasureOptions>();
  ASSERT_NE(measure, nullptr);
  EXPECT_EQ(measure->serial, "C3");
  EXPECT_EQ(measure->count, 5);
  ASSERT_EQ(Parse(parser, {"measure", "D4"}), std::nullopt);
  measure = parser.ParsedOptions<lx40::MeasureOptions>();
  ASSERT_NE(measure, nullptr);
  EXPECT_EQ(measure->serial, "D4");
  EXPECT_EQ(measure->count, 1);

  ASSERT_EQ(Parse(parser, {"table", "export", "8011", "t.bin"}), std::nullopt);
  EXPECT_EQ(parser.Parsed(), "table export");
  const auto* exported = parser.ParsedOptions<lx40::TableExportOptions>();
  ASSERT_NE(exported, nullptr);
  EXPECT_EQ(exported->type_code, 8011);
  EXPECT_EQ(exported->file, "t.bin");
}

TEST(CommandLineTest, BadUsageAfterAGoodLineIsStillBadUsage) {
  lx40::CommandLine parser(lx40::Subcommands());
  ASSERT_EQ(Parse(parser, {"info", "A1"}), std::nullopt);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Parse(parser, {"info"}), 2);  // SERIAL is required again
  EXPECT_EQ(parser.Parsed(), "");
  EXPECT_EQ(Parse(parser, {"table", "export", "9999", "f.bin"}), 2);
  EXPECT_EQ(Parse(parser, {"table"}), 2);                 // a group alone is no command
  EXPECT_EQ(Parse(parser, {"list", "--count", "3"}), 2);  // another command's option
  testing::internal::GetCapturedStderr();
}

// Every row of lx40's table: a name of its own, a group row before its
// subcommands, and help for each.
TEST(CommandLineTest, TheTableNamesEachSubcommandOnce) {
  std::set<std::string> names;
  std::set<std::string> groups;
  for (const lx40::Subcommand& row : lx40::Subcommands()) {
    const std::string name(row.name);
    EXPECT_TRUE(names.insert(name).second) << name << " twice";
    EXPECT_FALSE(row.help.empty()) << name;
    const size_t space = name.rfind(' ');
    if (space != std::string::npos) {
      EXPECT_EQ(groups.count(name.substr(0, space)), 1u) << name << ": no group row before it";
    }
    if (row.define == nullptr) groups.insert(name);
  }
  EXPECT_EQ(names, (std::set<std::string>{"list", "setup", "station", "info", "measure", "table",
                                          "table check", "table export", "history", "report"}));
}

// A subcommand is one row: its own options struct, bound by its own
// function, run by its own function.
struct ProbeOptions {
  std::string bays;
  int units = 7;
};
void AddProbeOptions(CLI::App& app, ProbeOptions& options) {
  app.add_option("--bays", options.bays, "A file of bays");
  app.add_option("--units", options.units, "Units to do");
}
int RunProbe(const ProbeOptions& options) { return options.bays == "b.txt" ? options.units : 99; }

TEST(CommandLineTest, ARowBringsItsOwnOptionsAndRun) {
  const lx40::Subcommand table[] = {
      {"probe", "A probe", lx40::BindOptions<ProbeOptions, AddProbeOptions, RunProbe>},
      {"group", "A group", nullptr},
      {"group probe", "A probe in a group",
       lx40::BindOptions<ProbeOptions, AddProbeOptions, RunProbe>},
  };
  lx40::CommandLine parser(table);
  ASSERT_EQ(Parse(parser, {"probe", "--bays", "b.txt", "--units", "3"}), std::nullopt);
  EXPECT_EQ(parser.Run(), 3);
  ASSERT_EQ(Parse(parser, {"group", "probe", "--bays", "b.txt"}), std::nullopt);
  EXPECT_EQ(parser.Parsed(), "group probe");
  EXPECT_EQ(parser.Run(), 7);
  ASSERT_NE(parser.ParsedOptions<ProbeOptions>(), nullptr);
  EXPECT_EQ(parser.ParsedOptions<lx40::SetupOptions>(), nullptr);
}

TEST(CommandLineTest, ASubcommandBeforeItsGroupIsAFaultOfTheTable) {
  const lx40::Subcommand table[] = {
      {"group probe", "A probe in a group",
       lx40::BindOptions<ProbeOptions, AddProbeOptions, RunProbe>},
  };
  EXPECT_THROW(lx40::CommandLine parser(table), std::logic_error);
}

}  // namespace
