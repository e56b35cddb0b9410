// Bulkpipe against replies no well-behaved driver gives: lengths that lie,
// records cut short, names without terminators, hubs that contain
// themselves, more devices than USB can address, paths that do not fit.
// Whatever the bus answers, nothing is read outside a reply, every walk
// ends, and every handle opened is closed.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <set>
#include <ostream>
#include <string>
#include <vector>

#include "bulkpipe.h"
#include "hub_ioctl_codes.h"
#include "scripted_host.h"
#include "scripted_topology.h"
#include "serial_listing.h"

namespace {

using scripted::HubModel;
using scripted::HubPort;
using scripted::IoctlCall;
using scripted::IoctlReply;
using scripted::MeterPort;
using scripted::PortModel;
using scripted::TheHost;
using scripted::Topology;

using namespace hub_ioctl;

SerialListing Check() { return ListSerials(); }

// The hubs the walk tried to open, in order (controllers left out).
std::vector<std::string> HubOpenAttempts() {
  std::vector<std::string> hubs;
  for (const auto& path : TheHost().open_attempts) {
    if (path.rfind("\\\\.\\HCD", 0) != 0) hubs.push_back(path);
  }
  return hubs;
}

class ScriptedBusTest : public ::testing::Test {
 protected:
  void SetUp() override { scripted::ResetHost(); }
  void TearDown() override {
    EXPECT_TRUE(TheHost().open_handles.empty()) << "a handle was left open";
    scripted::ResetHost();
  }
};

// HCD0 with root hub "ROOT"; a hub "HUB" on its port 1 with a meter; a
// meter on root port 2.
Topology SmallTree() {
  Topology t;
  t.controllers[0] = u"ROOT";
  t.hubs["\\\\.\\ROOT"] = HubModel{{HubPort(u"HUB"), MeterPort(u"A00000002")}};
  t.hubs["\\\\.\\HUB"] = HubModel{{MeterPort(u"A00000001")}};
  return t;
}

using Tamper = std::function<void(const IoctlCall&, IoctlReply&)>;

bool IsRootNameQuery(const IoctlCall& call) {
  return call.path == "\\\\.\\HCD0" && call.code == kRootHubName;
}
bool IsPortNameQuery(const IoctlCall& call) {
  return call.path == "\\\\.\\ROOT" && call.code == kConnectionName;
}

// A name record: header of `header` bytes with ActualLength at
// `length_offset`, then the given UTF-16 units exactly (no terminator added).
IoctlReply NameReply(size_t header, size_t length_offset, uint32_t actual_length,
                     const std::u16string& units, int64_t returned = -1) {
  std::vector<uint8_t> bytes(header, 0);
  scripted::PutLe32(bytes, length_offset, actual_length);
  for (char16_t u : units) {
    bytes.push_back(static_cast<uint8_t>(u));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return {true, bytes, returned};
}

struct NameCase {
  const char* name;
  Tamper tamper;
  std::vector<std::string> hub_opens;
};
void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class NameReplyTest : public ScriptedBusTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameReplyTest, OpensOnlyWhatTheReturnedBytesName) {
  Topology t = SmallTree();
  t.tamper = GetParam().tamper;
  scripted::Install(t);
  Check();
  EXPECT_EQ(HubOpenAttempts(), GetParam().hub_opens);
  for (const auto& call : TheHost().calls) {
    EXPECT_LE(call.out_size, 4096u) << "a lying length decided an allocation";
  }
}

const std::vector<std::string> kBothHubs = {"\\\\.\\ROOT", "\\\\.\\HUB"};

// Root hub name: 4-byte ActualLength, then the text.
Tamper RootSize(uint32_t actual_length, int64_t returned = -1) {
  return [=](const IoctlCall& c, IoctlReply& r) {
    if (IsRootNameQuery(c) && c.out_size == 6) r = NameReply(4, 0, actual_length, u"\0", returned);
  };
}
Tamper RootText(uint32_t actual_length, std::u16string units, int64_t returned = -1) {
  return [=](const IoctlCall& c, IoctlReply& r) {
    if (!IsRootNameQuery(c)) return;
    r = c.out_size == 6 ? NameReply(4, 0, actual_length, u"\0")
                        : NameReply(4, 0, actual_length, units, returned);
  };
}
// Port hub name: ConnectionIndex, ActualLength, then the text.
Tamper PortSize(uint32_t actual_length) {
  return [=](const IoctlCall& c, IoctlReply& r) {
    if (IsPortNameQuery(c) && c.out_size == 10) r = NameReply(8, 4, actual_length, u"\0");
  };
}
Tamper PortText(uint32_t actual_length, std::u16string units, int64_t returned = -1) {
  return [=](const IoctlCall& c, IoctlReply& r) {
    if (!IsPortNameQuery(c)) return;
    r = c.out_size == 10 ? NameReply(8, 4, actual_length, u"\0")
                         : NameReply(8, 4, actual_length, units, returned);
  };
}

const NameCase kNameCases[] = {
    {"SoundReplies", nullptr, kBothHubs},
    {"RootSizeQueryFails",
     [](const IoctlCall& c, IoctlReply& r) {
       if (IsRootNameQuery(c)) r.ok = false;
     },
     {}},
    {"RootSizeQueryReturnsNoLength", RootSize(14, 3), {}},
    {"RootActualLengthOdd", RootSize(13), {}},
    {"RootActualLengthWithoutText", RootSize(5), {}},
    {"RootActualLengthZero", RootSize(0), {}},
    {"RootActualLengthHuge", RootSize(0xFFFFFFFFu), {}},
    {"RootActualLengthBeyondBound", RootSize(4098), {}},
    {"RootNameWithoutTerminator", RootText(12, u"ROOT"), kBothHubs},
    {"RootNameCutByReturned", RootText(12, u"ROOT", 8), {"\\\\.\\RO"}},
    {"RootNameReturnedOddByteCount", RootText(12, u"ROOT", 11), {"\\\\.\\ROO"}},
    {"RootNameReturnedClaimsMoreThanTheBuffer", RootText(12, u"ROOT", 5000), kBothHubs},
    {"RootNameReturnedBelowHeader", RootText(12, u"ROOT", 2), {}},
    {"RootNameEndsAtNul", RootText(14, std::u16string(u"ROOT\0X", 6)), kBothHubs},
    {"RootNameEmpty", RootText(6, std::u16string(1, u'\0')), {}},
    {"RootNameNonAsciiBecomesQuestionMarks",
     RootText(16, u"R\u00D6\xD83D\xDE00T\u007F"),
     {"\\\\.\\R???T\x7F"}},
    {"PortNameLengthTenMeansNoHub", PortSize(10), {"\\\\.\\ROOT"}},
    {"PortNameLengthBelowTen", PortSize(9), {"\\\\.\\ROOT"}},
    {"PortNameLengthOdd", PortSize(15), {"\\\\.\\ROOT"}},
    {"PortNameLengthHuge", PortSize(0x80000000u), {"\\\\.\\ROOT"}},
    {"PortNameWithoutTerminator", PortText(14, u"HUB"), kBothHubs},
    {"PortNameCutByReturned", PortText(14, u"HUB", 12), {"\\\\.\\ROOT", "\\\\.\\HU"}},
    {"PortNameReturnedClaimsMoreThanTheBuffer", PortText(14, u"HUB", 70000), kBothHubs},
};

INSTANTIATE_TEST_SUITE_P(Cases, NameReplyTest, ::testing::ValuesIn(kNameCases),
                         [](const auto& c) { return std::string(c.param.name); });

struct ReturnedCase {
  const char* name;
  uint32_t code;
  int64_t returned;
  int32_t count;
};
void PrintTo(const ReturnedCase& c, std::ostream* os) { *os << c.name; }

class ShortRecordTest : public ScriptedBusTest,
                        public ::testing::WithParamInterface<ReturnedCase> {};

// A record shorter than the fields read from it is not used.
TEST_P(ShortRecordTest, FieldsOutsideTheReturnedBytesAreNotUsed) {
  Topology t;
  t.controllers[0] = u"ROOT";
  t.hubs["\\\\.\\ROOT"] = HubModel{{MeterPort(u"B00000001")}};
  const ReturnedCase c = GetParam();
  t.tamper = [c](const IoctlCall& call, IoctlReply& reply) {
    if (call.code == c.code && call.path == "\\\\.\\ROOT") reply.returned = c.returned;
  };
  scripted::Install(t);
  EXPECT_EQ(Check().count, c.count);
}

const ReturnedCase kReturnedCases[] = {
    {"NodeInformationWithoutPortCount", kNodeInformation, 6, 0},
    {"NodeInformationJustHoldingPortCount", kNodeInformation, 7, 1},
    {"ConnectionInformationEmpty", kConnectionInformation, 0, 0},
    {"ConnectionInformationBelowFixedPart", kConnectionInformation, 34, 0},
    {"ConnectionInformationFixedPart", kConnectionInformation, 35, 1},
    {"ConnectionInformationClaimsMoreThanTheBuffer", kConnectionInformation, 100000, 1},
    {"DescriptorRepliesEmpty", kDescriptor, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, ShortRecordTest, ::testing::ValuesIn(kReturnedCases),
                         [](const auto& c) { return std::string(c.param.name); });

struct StringCase {
  const char* name;
  uint16_t value;  // which request: 0x0300 the language list, 0x0303 the serial
  std::vector<uint8_t> descriptor;
  int64_t returned;
  const char* list;
};
void PrintTo(const StringCase& c, std::ostream* os) { *os << c.name; }

class StringReplyTest : public ScriptedBusTest, public ::testing::WithParamInterface<StringCase> {};

TEST_P(StringReplyTest, OnlyAWholeConsistentDescriptorIsUsed) {
  Topology t;
  t.controllers[0] = u"ROOT";
  t.hubs["\\\\.\\ROOT"] = HubModel{{MeterPort(u"C00000001")}};
  const StringCase c = GetParam();
  t.tamper = [c](const IoctlCall& call, IoctlReply& reply) {
    if (call.code != kDescriptor || call.in.size() < 12) return;
    if ((call.in[6] | (call.in[7] << 8)) != c.value) return;
    reply.bytes.resize(12);
    reply.bytes.insert(reply.bytes.end(), c.descriptor.begin(), c.descriptor.end());
    reply.returned = c.returned;
  };
  scripted::Install(t);
  const SerialListing outcome = Check();
  EXPECT_EQ(outcome.list, c.list);
  EXPECT_EQ(outcome.count, outcome.list.empty() ? 0 : 1);
}

const StringCase kStringCases[] = {
    {"LanguageListBelowHeader", 0x0300, {4, 3, 9, 4}, 2, ""},
    {"LanguageListOneByte", 0x0300, {4, 3, 9, 4}, 13, ""},
    {"LanguageListClaimsMoreThanTheBuffer", 0x0300, {4, 3, 9, 4}, 300, ""},
    {"LanguageListLengthZero", 0x0300, {0, 3}, 14, ""},
    {"LanguageListOnlyHeader", 0x0300, {2, 3}, 14, "?????????"},
    {"LanguageListOddLength", 0x0300, {5, 3, 9, 4, 0}, 17, ""},
    {"SerialBelowHeader", 0x0303, {4, 3, 'A', 0}, 2, "?????????"},
    {"SerialLengthClaimsMore", 0x0303, {8, 3, 'A', 0}, 16, "?????????"},
    {"SerialWrongType", 0x0303, {4, 1, 'A', 0}, 16, "?????????"},
    {"SerialWithoutText", 0x0303, {2, 3}, 14, "         "},
    {"SerialOfOneUnit", 0x0303, {4, 3, 'A', 0}, 16, "A        "},
    {"SerialFullLength", 0x0303,
     [] {
       std::vector<uint8_t> d{254, 3};
       for (int i = 0; i < 126; ++i) d.insert(d.end(), {static_cast<uint8_t>('a' + i % 26), 0});
       return d;
     }(),
     266, "abcdefghi"},
};

INSTANTIATE_TEST_SUITE_P(Cases, StringReplyTest, ::testing::ValuesIn(kStringCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(ScriptedBusTest, EveryOneOf255PortsIsVisitedOnce) {
  Topology t;
  t.controllers[0] = u"ROOT";
  HubModel root;
  root.ports.resize(255);
  root.ports[254] = MeterPort(u"D00000255");
  t.hubs["\\\\.\\ROOT"] = root;
  scripted::Install(t);
  const SerialListing outcome = Check();
  EXPECT_EQ(outcome.count, 1);
  EXPECT_EQ(outcome.list, "D00000255");
  std::vector<uint32_t> ports;
  for (const auto& call : TheHost().calls) {
    if (call.code == kConnectionInformation) ports.push_back(scripted::Le32(call.in, 0));
  }
  ASSERT_EQ(ports.size(), 255u);
  for (uint32_t i = 0; i < 255; ++i) EXPECT_EQ(ports[i], i + 1);
}

// A chain of ten hubs below the root, a meter on port 1 of each and the next
// hub on port 2: hubs deeper than seven tiers of external hubs are not walked.
TEST_F(ScriptedBusTest, HubsBeyondSevenExternalTiersAreNotWalked) {
  Topology t;
  t.controllers[0] = u"H0";
  std::vector<std::string> expected_opens;
  std::string expected_list;
  for (int tier = 0; tier <= 10; ++tier) {
    const std::u16string next = u"H" + std::u16string(1, static_cast<char16_t>(u'0' + tier + 1));
    const std::u16string serial =
        u"M0000000" + std::u16string(1, static_cast<char16_t>(u'0' + tier));
    t.hubs["\\\\.\\H" + std::to_string(tier)] = HubModel{{MeterPort(serial), HubPort(next)}};
    if (tier <= 7) {
      expected_opens.push_back("\\\\.\\H" + std::to_string(tier));
      expected_list += (tier == 0 ? "" : ",") + scripted::Ascii(serial);
    }
  }
  scripted::Install(t);
  const SerialListing outcome = Check();
  EXPECT_EQ(HubOpenAttempts(), expected_opens);
  EXPECT_EQ(outcome.count, 8);
  EXPECT_EQ(outcome.list, expected_list);
}

// A bus that reports a hub inside itself on every one of 255 ports, with
// meters too: the walk ends and stays within what USB can address.
TEST_F(ScriptedBusTest, HubThatContainsItselfEverywhereEndsTheWalk) {
  Topology t;
  for (int number = 0; number < 10; ++number) t.controllers[number] = u"LOOP";
  HubModel loop;
  for (int port = 1; port <= 255; ++port) {
    loop.ports.push_back(port % 2 ? HubPort(u"LOOP") : MeterPort(u"E00000000"));
    if (port % 2) loop.ports.back().connected = false;  // a hub whatever its status
  }
  t.hubs["\\\\.\\LOOP"] = loop;
  scripted::Install(t);
  TheHost().record_calls = false;
  const SerialListing outcome = Check();
  EXPECT_LE(outcome.count, 10 * 127);
  EXPECT_LE(HubOpenAttempts().size(), 10u * 128u);
  EXPECT_EQ(outcome.list.size(), outcome.count == 0 ? 0u : outcome.count * 10u - 1);
}

// USB addresses at most 127 devices per controller; a bus reporting more is
// not believed, which also bounds what the caller's buffer receives.
TEST_F(ScriptedBusTest, AtMost127DevicesPerControllerAreExamined) {
  Topology t;
  HubModel root;
  for (int port = 1; port <= 255; ++port) root.ports.push_back(MeterPort(u"F00000000"));
  for (int number = 0; number < 10; ++number) {
    const std::u16string name = u"ROOT" + std::u16string(1, static_cast<char16_t>(u'0' + number));
    t.controllers[number] = name;
    t.hubs["\\\\.\\" + scripted::Ascii(name)] = root;
  }
  scripted::Install(t);
  const SerialListing outcome = Check();
  EXPECT_EQ(outcome.count, 10 * 127);
  EXPECT_EQ(outcome.list.size(), 10u * 127u * 10u - 1);
}

// Pipe paths: the interface path, "\" and the pipe number must fit in 255
// characters; a path that does not fit fails after the probe, which is closed.
struct PathCase {
  const char* name;
  size_t path_length;
  int32_t pipe;
  const char* suffix;  // nullptr: the call fails
};
void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class PipePathTest : public ScriptedBusTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(PipePathTest, OpensThePathWithItsSuffixOnlyWhenItFits) {
  const PathCase c = GetParam();
  const std::string path = "\\\\?\\" + std::string(c.path_length - 4, 'p');
  TheHost().opens = [](const std::string&) { return true; };
  TheHost().interface_path = [path](int32_t position, std::string* out) {
    if (position != 0) return false;
    *out = path;
    return true;
  };
  const usbhost_handle h = OpenUSBBulkFile(c.pipe, 0);
  if (c.suffix == nullptr) {
    EXPECT_EQ(h, USBHOST_INVALID);
    EXPECT_EQ(TheHost().open_attempts, std::vector<std::string>{path}) << "only the probe";
  } else {
    ASSERT_NE(h, USBHOST_INVALID);
    EXPECT_EQ(TheHost().open_attempts, (std::vector<std::string>{path, path + c.suffix}));
    EXPECT_EQ(TheHost().open_handles.size(), 1u) << "the probe was left open";
    usbhost_close(h);
  }
}

const PathCase kPathCases[] = {
    {"ShortPath", 40, 0, "\\0"},
    {"NegativePipeKeepsItsSign", 40, -7, "\\-7"},
    {"SmallestPipe", 243, INT32_MIN, "\\-2147483648"},
    {"SmallestPipeOneTooLong", 244, INT32_MIN, nullptr},
    {"ExactlyFills255", 253, 1, "\\1"},
    {"OneCharacterTooLong", 254, 1, nullptr},
    {"PathAloneFills255", 255, 0, nullptr},
    {"PathLongerThanTheBuffer", 700, 0, nullptr},
    {"TwoDigitPipeExactlyFits", 252, 10, "\\10"},
    {"ThreeDigitPipeOneTooLong", 252, 100, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, PipePathTest, ::testing::ValuesIn(kPathCases),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(ScriptedBusTest, PathTooLongForTheLookupFailsWithoutOpeningAnything) {
  TheHost().opens = [](const std::string&) { return true; };
  TheHost().interface_path = [](int32_t, std::string* out) {
    *out = "\\\\?\\" + std::string(5000, 'q');
    return true;
  };
  EXPECT_EQ(OpenUSBBulkFile(0, 0), USBHOST_INVALID);
  EXPECT_TRUE(TheHost().open_attempts.empty());
}

TEST_F(ScriptedBusTest, FailedProbeMeansThePipeIsNotTried) {
  TheHost().opens = [](const std::string& path) { return path.back() != 'i'; };
  TheHost().interface_path = [](int32_t, std::string* out) {
    *out = "\\\\?\\usb#meter#i";
    return true;
  };
  EXPECT_EQ(OpenUSBBulkFile(0, 0), USBHOST_INVALID);
  EXPECT_EQ(TheHost().open_attempts, std::vector<std::string>{"\\\\?\\usb#meter#i"});
}

}  // namespace
