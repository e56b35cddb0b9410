// The other commands end to end: list, info, measure, table check and
// export, --version, --help and bad usage.
#include "lx40_fixture.h"

namespace lx40test {
namespace {

TEST_F(Lx40Test, ListWithoutAMeterFileShowsTheDefaultMeters) {
  const std::map<std::string, std::string> env{{"LX40_SIM_STATE", Path("state.json")}};
  ASSERT_EQ(Run({"list", "--json"}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 2u) << Out();
  EXPECT_EQ(lines[0], Json({{"serial", "A12345678"},
                            {"model", "LX40"},
                            {"version", "1.00"},
                            {"port", "1-1"},
                            {"battery", "ok"},
                            {"slots", "0000000"}}));
  EXPECT_EQ(lines[1].at("serial"), "B23456789");
  EXPECT_EQ(State().at("open_handles"), 0);
}

TEST_F(Lx40Test, ListShowsBatteryAndSlotsOfEachMeter) {
  const auto env =
      Environment("[meter]\nserial = A1\nslots = 0100001\n[meter]\nserial = B2\nbattery = low\n");
  ASSERT_EQ(Run({"list", "--json"}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(BySerial(lines, "A1")->at("slots"), "0100001");
  EXPECT_EQ(BySerial(lines, "B2")->at("battery"), "low");
  EXPECT_EQ(BySerial(lines, "B2")->at("slots"), nullptr);

  ASSERT_EQ(Run({"list"}, env, "text"), 0);
  EXPECT_NE(Out("text").find("A1"), std::string::npos);
  EXPECT_NE(Out("text").find("0100001"), std::string::npos) << Out("text");
}

TEST_F(Lx40Test, InfoPrintsOneJsonObjectWithTheMetersSettings) {
  const auto env = Environment("[meter]\nserial = A1\nslots = 0001000\n");
  ASSERT_EQ(Run({"info", "A1", "--json"}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 1u) << Out();
  const Json& info = lines[0];
  EXPECT_EQ(info.at("serial"), "A1");
  EXPECT_EQ(info.at("maker"), "Vantor");
  EXPECT_EQ(info.at("battery"), "ok");
  EXPECT_EQ(info.at("slots"), "0001000");
  for (const char* key : {"sensor", "wavelength", "mode", "range", "averaging", "relative"}) {
    EXPECT_FALSE(info.at(key).is_null()) << key;
  }
  EXPECT_EQ(Run({"info", "Z9"}, env, "missing"), 3);
  EXPECT_NE(Err("missing").find("Z9: "), std::string::npos);
}

TEST_F(Lx40Test, MeasurePrintsEveryReadingAsJsonOrCsv) {
  const auto env = Environment("[meter]\nserial = A1\n");
  ASSERT_EQ(Run({"measure", "A1", "--count", "3", "--interval", "0", "--json"}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i].at("serial"), "A1");
    EXPECT_EQ(lines[i].at("index"), i);
    EXPECT_TRUE(lines[i].at("value").is_number() || !lines[i].at("mark").is_null()) << lines[i];
    EXPECT_FALSE(lines[i].at("unit").get<std::string>().empty());
  }
  ASSERT_EQ(Run({"measure", "A1", "--count", "2", "--interval", "0", "--csv"}, env, "csv"), 0);
  const std::string csv = Out("csv");
  EXPECT_EQ(csv.rfind("serial,index,time,value,unit,mark\n", 0), 0u) << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;
}

TEST_F(Lx40Test, ExportedBuiltInTablesAreTheWizardsAndCheckOk) {
  const std::map<std::string, std::string> env;
  for (const auto& [type, code] : {std::pair{"8010", 8010}, std::pair{"8011", 8011}}) {
    SCOPED_TRACE(type);
    const std::string file = Path(std::string(type) + ".bin");
    ASSERT_EQ(Run({"table", "export", type, file}, env), 0) << Err();
    EXPECT_EQ(ReadFile(file), BuiltInTable(code));
    ASSERT_EQ(Run({"table", "check", file}, env, "check"), 0) << Out("check");
    const std::string out = Out("check");
    EXPECT_NE(out.find("type code:   " + std::string(type)), std::string::npos) << out;
    EXPECT_NE(out.find("result:      OK"), std::string::npos) << out;
  }
  const std::string out = Out("check");
  EXPECT_NE(out.find("slot:        3"), std::string::npos) << out;
  EXPECT_NE(out.find("records:     71"), std::string::npos) << out;
  EXPECT_NE(out.find("wavelengths: 380 to 450 nm"), std::string::npos) << out;
  EXPECT_NE(out.find("size:        444 bytes"), std::string::npos) << out;
}

TEST_F(Lx40Test, TableCheckNamesTheFaultAndExitsOne) {
  std::string table = BuiltInTable(8011);
  table[20] = static_cast<char>(table[20] ^ 0x40);
  WriteFile(Path("bad.bin"), table);
  EXPECT_EQ(Run({"table", "check", Path("bad.bin")}, {}), 1);
  EXPECT_NE(Out().find("result:      FAULT: "), std::string::npos) << Out();
  EXPECT_EQ(Run({"table", "check", Path("none.bin")}, {}, "none"), 2);
  EXPECT_EQ(Run({"table", "export", "8010", Path("missing/x.bin")}, {}, "unwritable"), 2);
}

TEST_F(Lx40Test, VersionHelpAndBadUsage) {
  ASSERT_EQ(Run({"--version"}, {}), 0);
  EXPECT_EQ(Out(), "lx40 " LX40_PROJECT_VERSION "\n");
  for (const char* command : {"list", "setup", "info", "measure", "table"}) {
    EXPECT_EQ(Run({command, "--help"}, {}, "help"), 0) << command;
    EXPECT_NE(Out("help").find(command), std::string::npos) << Out("help");
  }
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"info"},
      {"measure", "A1", "--json", "--csv"},
      {"setup", "--jobs", "0"},
      {"table", "export", "8012", "x.bin"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Run(args, {}, "bad"), 2) << (args.empty() ? "" : args[0]);
  }
}

}  // namespace
}  // namespace lx40test
