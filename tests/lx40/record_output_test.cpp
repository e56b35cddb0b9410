// Where lx40 writes and what happens when that fails: a record file that
// ends in a fragment, a record on a FIFO, a pipe or /dev/stdout, a record
// that cannot be written, and a stdout that its reader closed (`| head -1`).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

constexpr char kTwoMeters[] = "[meter]\nserial = A1\n[meter]\nserial = B2\n";
// About a second per table: a reader can go away in the middle.
constexpr char kTwoSlowMeters[] =
    "[meter]\nserial = A1\nlatency_us = 1000\n[meter]\nserial = B2\nlatency_us = 1000\n";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The JSON lines among other output (a display and records on one pipe).
std::vector<Json> RecordLinesIn(const std::string& text) {
  std::vector<Json> records;
  for (const std::string& line : Lines(text)) {
    if (!line.empty() && line.front() == '{') {
      EXPECT_TRUE(Json::accept(line)) << line;
      if (Json::accept(line)) records.push_back(Json::parse(line));
    }
  }
  return records;
}

void ExpectBothSet(const std::vector<Json>& records) {
  ASSERT_EQ(records.size(), 2u);
  for (const char* serial : {"A1", "B2"}) {
    const Json* record = BySerial(records, serial);
    ASSERT_NE(record, nullptr) << serial;
    EXPECT_EQ(record->at("result"), "set") << serial;
  }
}

// Everything the read end of a pipe gets until every writer is gone.
class PipeReader {
 public:
  PipeReader() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
    read_ = fds[0];
    write_ = fds[1];
  }
  ~PipeReader() {
    CloseWriteEnd();
    if (thread_.joinable()) thread_.join();
    if (read_ >= 0) ::close(read_);
  }
  int WriteEnd() const { return write_; }
  void CloseWriteEnd() {
    if (write_ >= 0) ::close(write_);
    write_ = -1;
  }
  // Reads in a thread of its own until end of file.
  void ReadAll() {
    thread_ = std::thread([this] {
      char block[4096];
      ssize_t n;
      while ((n = ::read(read_, block, sizeof block)) > 0) text_.append(block, n);
    });
  }
  // Reads up to the first line feed, then closes the read end: `| head -1`.
  std::string ReadOneLineAndClose() {
    std::string line;
    char c;
    while (::read(read_, &c, 1) == 1 && c != '\n') line.push_back(c);
    ::close(read_);
    read_ = -1;
    return line;
  }
  std::string Text() {
    if (thread_.joinable()) thread_.join();
    return text_;
  }

 private:
  int read_ = -1;
  int write_ = -1;
  std::thread thread_;
  std::string text_;
};

// A record file as an earlier run (or another program) left it: the next
// line always starts a line of its own, and nothing is added where a line
// already ended.
struct RecordBefore {
  const char* name;
  std::string text;
  size_t lines_before;  // lines of `text`, the fragment counted
};

class Lx40RecordRepairTest : public Lx40Test, public testing::WithParamInterface<RecordBefore> {};

TEST_P(Lx40RecordRepairTest, TheNewLineIsAlwaysALineOfItsOwn) {
  const std::string record = Path("record.jsonl");
  WriteFile(record, GetParam().text);
  ASSERT_EQ(Run({"setup", "--record", record}, Environment(kTwoMeters)), 0) << Err();
  const std::string text = ReadFile(record);
  ASSERT_EQ(text.substr(0, GetParam().text.size()), GetParam().text);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), GetParam().lines_before + 2) << text;
  std::vector<Json> added;
  for (size_t i = GetParam().lines_before; i < lines.size(); ++i) {
    ASSERT_TRUE(Json::accept(lines[i])) << lines[i];
    added.push_back(Json::parse(lines[i]));
  }
  ExpectBothSet(added);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Lx40RecordRepairTest,
    testing::Values(RecordBefore{"Empty", "", 0},
                    RecordBefore{"WholeLine", "{\"serial\": \"OLD1\"}\n", 1},
                    RecordBefore{"Fragment", "{\"serial\": \"OLD1\"}\n{\"serial\": \"OL", 2},
                    RecordBefore{"FragmentOnly", "x", 1}),
    [](const testing::TestParamInfo<RecordBefore>& param) { return param.param.name; });

// A FIFO that nobody reads would block the open for ever: it is refused at
// once, before any meter is touched.
TEST_F(Lx40Test, ARecordFifoWithoutReaderIsRefusedBeforeAnyMeterIsTouched) {
  if (UnderWine()) GTEST_SKIP() << "a POSIX FIFO";
  const std::string fifo = Path("record.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto process = Start({"setup", "--record", fifo}, Environment(kTwoMeters));
  EXPECT_EQ(process->Wait(std::chrono::seconds(20)), 2) << process->Err();
  EXPECT_NE(process->Err().find("nobody reads"), std::string::npos) << process->Err();
  // The simulator writes its state only for a program that used it.
  EXPECT_FALSE(FileExists(Path("state.json"))) << "a meter was touched";
}

// A FIFO, a pipe or /dev/stdout takes the lines without the flush to disk
// it cannot take, and each line counts as written.
TEST_F(Lx40Test, ARecordFifoWithAReaderGetsEveryLine) {
  if (UnderWine()) GTEST_SKIP() << "a POSIX FIFO";
  const std::string fifo = Path("record.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::string text;
  std::thread drain([&] {
    // Until lx40 has opened and closed its end.
    bool opened = false;
    for (int idle = 0; idle < 4000; ++idle) {
      char block[4096];
      const ssize_t n = ::read(reader, block, sizeof block);
      if (n > 0) {
        text.append(block, n);
        opened = true;
        idle = 0;
      } else if (n == 0 && opened) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_EQ(Run({"setup", "--record", fifo}, Environment(kTwoMeters)), 0) << Err();
  drain.join();
  ::close(reader);
  EXPECT_EQ(Err().find("could not be written"), std::string::npos) << Err();
  ExpectBothSet(JsonLines(text));
}

TEST_F(Lx40Test, ARecordOnDevStdoutThroughAPipeGetsEveryLine) {
  if (UnderWine()) GTEST_SKIP() << "/dev/stdout";
  PipeReader out;
  out.ReadAll();
  const auto process =
      Start({"setup", "--record", "/dev/stdout"}, Environment(kTwoMeters), "run", out.WriteEnd());
  out.CloseWriteEnd();
  EXPECT_EQ(process->Wait(), 0) << process->Err();
  const std::string text = out.Text();
  EXPECT_EQ(process->Err().find("could not be written"), std::string::npos) << process->Err();
  ExpectBothSet(RecordLinesIn(text));
  EXPECT_NE(text.find("2 set"), std::string::npos) << text;
}

// A unit whose line is not written is not done: its line on the display
// says so, the summary counts it failed, the exit status is 1.
TEST_F(Lx40Test, AUnitWhoseRecordLineFailsIsShownFailed) {
  if (UnderWine()) GTEST_SKIP() << "/dev/full";
  EXPECT_EQ(Run({"setup", "--record", "/dev/full"}, Environment(kTwoMeters)), 1) << Err();
  const std::string out = Out();
  EXPECT_NE(out.find("A1: FAILED (the record could not be written)"), std::string::npos) << out;
  EXPECT_NE(out.find("B2: FAILED (the record could not be written)"), std::string::npos) << out;
  EXPECT_EQ(out.find("A1: set"), std::string::npos) << out;
  EXPECT_NE(out.find("0 set, 0 already set, 2 failed"), std::string::npos) << out;
  EXPECT_NE(Err().find("the record could not be written to /dev/full"), std::string::npos) << Err();
}

// `lx40 setup ... | head -1`: the reader of stdout goes away after one
// line. The run goes on: every meter set and recorded, the display
// dropped, exit status 1 because the output failed.
struct ClosedStdoutCase {
  const char* name;
  std::vector<std::string> args;  // after "setup --record <file>"
};

class Lx40ClosedStdoutTest : public Lx40Test,
                             public testing::WithParamInterface<ClosedStdoutCase> {};

TEST_P(Lx40ClosedStdoutTest, TheRunCompletesAndSaysTheOutputFailed) {
  if (UnderWine()) GTEST_SKIP() << "SIGPIPE";
  std::vector<std::string> args{"setup", "--record", Path("record.jsonl")};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  PipeReader out;
  const auto process = Start(args, Environment(kTwoSlowMeters), "run", out.WriteEnd());
  out.CloseWriteEnd();
  const std::string first = out.ReadOneLineAndClose();
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(process->Wait(), 1) << process->Err();
  EXPECT_NE(process->Err().find("the output could not be written"), std::string::npos)
      << process->Err();
  ExpectBothSet(JsonLines(ReadFile(Path("record.jsonl"))));
  const Json state = State();
  for (const char* serial : {"A1", "B2"}) {
    EXPECT_EQ(StoredHex(MeterState(state, serial), 1), HexOf(BuiltInTable(8010))) << serial;
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, Lx40ClosedStdoutTest,
                         // One meter after the other with --json: the second line comes after
                         // the reader is gone.
                         testing::Values(ClosedStdoutCase{"Display", {}},
                                         ClosedStdoutCase{"JsonLines", {"--json", "--jobs", "1"}}),
                         [](const testing::TestParamInfo<ClosedStdoutCase>& param) {
                           return param.param.name;
                         });

// `lx40 measure ... | head -1`: readings nobody sees are not taken; the
// meter is closed and the exit status says the output failed.
TEST_F(Lx40Test, MeasureStopsWhenItsOutputIsClosed) {
  if (UnderWine()) GTEST_SKIP() << "SIGPIPE";
  PipeReader out;
  const auto process = Start({"measure", "A1", "--count", "100000", "--interval", "5", "--json"},
                             Environment(kTwoMeters), "run", out.WriteEnd());
  out.CloseWriteEnd();
  EXPECT_TRUE(Json::accept(out.ReadOneLineAndClose()));
  EXPECT_EQ(process->Wait(std::chrono::seconds(60)), 1) << process->Err();
  EXPECT_NE(process->Err().find("the output could not be written"), std::string::npos)
      << process->Err();
  EXPECT_EQ(State().at("open_handles"), 0);
}

}  // namespace
}  // namespace lx40test
