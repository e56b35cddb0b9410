// The device table: building it from the device positions Bulkpipe reports,
// the serial walk, selection, closing, and that no pipe is ever left open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "meter_bus.h"
#include "meterlink.h"

namespace mltest {
namespace {

using ::testing::ElementsAre;

class DeviceTableTest : public MeterBusTest {
 protected:
  static int OpenHandles() { return Bus().OpenHandleCount(); }
  static int32_t MeterCount() {
    int32_t count = -99;
    const int32_t result = GetAllDeviceNum(&count);
    return result == MLINK_OK ? count : result;
  }
};

TEST_F(DeviceTableTest, NoDevicePositionsMeansNoTable) {
  EXPECT_EQ(OpenAllDevice(), MLINK_TRANSPORT_FAILED);
  int32_t count = 7;
  EXPECT_EQ(GetAllDeviceNum(&count), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(OpenHandles(), 0);
}

TEST_F(DeviceTableTest, OneMeterIsAskedQpidThenIdn) {
  auto meter = PlugMeter("A12345678");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_THAT(meter->WrittenTexts(), ElementsAre("QPID\n", "IDN\n"));
  EXPECT_EQ(MeterCount(), 1);
  EXPECT_THAT(SerialWalk(), ElementsAre("A12345678", "SN_END"));
  EXPECT_THAT(SerialWalk(), ElementsAre("A12345678", "SN_END"));  // starts over
  EXPECT_EQ(OpenHandles(), 2);
}

TEST_F(DeviceTableTest, NoMeterIsSelectedAfterOpening) {
  auto meter = PlugMeter("A12345678");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  meter->ClearRecord();
  EXPECT_EQ(USBComd_SendRecv("BTRY", nullptr), MLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
}

TEST_F(DeviceTableTest, NonMeterInTheMiddleIsPassedOverAndClosed) {
  PlugMeter("A11111111");
  auto other = PlugOtherDevice();
  PlugMeter("A33333333");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_THAT(other->WrittenTexts(), ElementsAre("QPID\n"));  // no "IDN"
  EXPECT_EQ(MeterCount(), 2);
  EXPECT_THAT(SerialWalk(), ElementsAre("A11111111", "A33333333", "SN_END"));
  EXPECT_THAT(SerialWalk(), ElementsAre("A11111111", "A33333333", "SN_END"));
  EXPECT_EQ(OpenHandles(), 4);  // the non-meter's pipes are closed
}

TEST_F(DeviceTableTest, TwoAdjacentNonMetersArePassedOver) {
  PlugMeter("A11111111");
  PlugOtherDevice();
  PlugOtherDevice();
  PlugMeter("A44444444");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_EQ(MeterCount(), 2);
  EXPECT_THAT(SerialWalk(), ElementsAre("A11111111", "A44444444", "SN_END"));
}

TEST_F(DeviceTableTest, SerialCursorSurvivesSelection) {
  PlugMeter("A11111111");
  PlugMeter("A22222222");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  char serial[16] = {};
  ASSERT_EQ(GetAllDeviceSerialNo(serial), MLINK_OK);
  ASSERT_EQ(SelectOneDevice(serial), MLINK_OK);
  ASSERT_EQ(GetAllDeviceSerialNo(serial), MLINK_OK);
  EXPECT_STREQ(serial, "A22222222");
}

TEST_F(DeviceTableTest, NoLx40AnswersMeansMinus6AndNothingOpen) {
  PlugOtherDevice();
  PlugOtherDevice();
  EXPECT_EQ(OpenAllDevice(), MLINK_NOT_A_METER);
  EXPECT_EQ(OpenHandles(), 0);
  EXPECT_EQ(MeterCount(), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(CloseAllDevice(), MLINK_TRANSPORT_FAILED);
}

// A failing position ends the build with its code, and nothing stays open.
struct BuildFailure {
  const char* name;
  void (*script)(ScriptedEndpoint&);
  int32_t result;
};

const BuildFailure kBuildFailures[] = {
    {"QpidWithoutCr", [](ScriptedEndpoint& e) { e.QueueText("LX40"); }, MLINK_NOT_RECOGNISED},
    {"QpidReadFails", [](ScriptedEndpoint& e) { e.FailReads(true); }, MLINK_TRANSPORT_FAILED},
    {"QpidWriteFails", [](ScriptedEndpoint& e) { e.FailWrites(true); }, MLINK_TRANSPORT_FAILED},
    {"QpidNeverEnds", [](ScriptedEndpoint& e) { e.SendForever(true); }, MLINK_TRANSPORT_FAILED},
};

class BuildFailureTest : public DeviceTableTest,
                         public ::testing::WithParamInterface<BuildFailure> {};

TEST_P(BuildFailureTest, SecondPositionFailsTheBuild) {
  auto first = PlugMeter("A11111111");
  auto second = PlugDevice();
  auto third = PlugMeter("A33333333");
  GetParam().script(*second);
  EXPECT_EQ(OpenAllDevice(), GetParam().result);
  EXPECT_EQ(OpenHandles(), 0);
  EXPECT_TRUE(third->Writes().empty());  // the build stopped at the failure
  EXPECT_EQ(MeterCount(), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(CloseAllDevice(), MLINK_TRANSPORT_FAILED);
  // Nothing is selected either.
  first->ClearRecord();
  EXPECT_EQ(sendUSBBin(0x55), MLINK_RAW_FAILED);
  EXPECT_TRUE(first->Writes().empty());
}

INSTANTIATE_TEST_SUITE_P(Failures, BuildFailureTest, ::testing::ValuesIn(kBuildFailures),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(DeviceTableTest, PipesThatCannotBeOpenedFailTheBuild) {
  // Counted as a meter by its USB identity, but no pipes to open: the last
  // position has no interface.
  PlugMeter("A11111111");
  usbsim::SimulatedDevice noPipes;
  noPipes.serial = u"B00000000";
  Bus().Plug(root_, nextPort_++, noPipes);
  EXPECT_EQ(OpenAllDevice(), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(OpenHandles(), 0);
  EXPECT_EQ(MeterCount(), MLINK_TRANSPORT_FAILED);
}

TEST_F(DeviceTableTest, SecondOpenKeepsTheTable) {
  auto meter = PlugMeter("A11111111");
  PlugMeter("A22222222");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  char serial[16] = {};
  ASSERT_EQ(GetAllDeviceSerialNo(serial), MLINK_OK);
  meter->ClearRecord();

  EXPECT_EQ(OpenAllDevice(), MLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
  EXPECT_EQ(MeterCount(), 2);
  ASSERT_EQ(GetAllDeviceSerialNo(serial), MLINK_OK);  // the cursor is kept too
  EXPECT_STREQ(serial, "A22222222");
  EXPECT_EQ(OpenHandles(), 4);
}

TEST_F(DeviceTableTest, CloseWithoutTableFails) {
  EXPECT_EQ(CloseAllDevice(), MLINK_TRANSPORT_FAILED);
}

TEST_F(DeviceTableTest, CloseReleasesEveryPipeAndEveryExchangeFailsAfterwards) {
  auto meter = PlugMeter("A11111111");
  PlugOtherDevice();
  PlugMeter("A33333333");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  char serial[16] = "A11111111";
  ASSERT_EQ(SelectOneDevice(serial), MLINK_OK);
  EXPECT_EQ(OpenHandles(), 4);

  EXPECT_EQ(CloseAllDevice(), MLINK_OK);
  EXPECT_EQ(OpenHandles(), 0);
  meter->ClearRecord();
  char reply[64] = {};
  EXPECT_EQ(USBComd_SendRecv("BTRY", reply), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(sendUSBBin(0x55), MLINK_RAW_FAILED);
  EXPECT_EQ(recvUSBBin(nullptr), MLINK_RAW_FAILED);
  EXPECT_EQ(ResetDeviceUSB(), MLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
  EXPECT_EQ(MeterCount(), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(GetAllDeviceSerialNo(serial), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(SelectOneDevice(serial), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(CloseAllDevice(), MLINK_TRANSPORT_FAILED);
}

TEST_F(DeviceTableTest, TableCanBeBuiltAgainAfterClosing) {
  auto meter = PlugMeter("A11111111");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  ASSERT_EQ(CloseAllDevice(), MLINK_OK);
  meter->QueueText("LX40\r\n");
  meter->QueueText("VANTOR,LX40,A11111111,1.00\r\n");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_THAT(SerialWalk(), ElementsAre("A11111111", "SN_END"));
  EXPECT_EQ(OpenHandles(), 2);
}

TEST_F(DeviceTableTest, SelectionDecidesWhichMeterIsTalkedTo) {
  auto first = PlugMeter("A11111111");
  auto second = PlugMeter("A22222222");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  first->ClearRecord();
  second->ClearRecord();

  char serial[16] = "A22222222";
  ASSERT_EQ(SelectOneDevice(serial), MLINK_OK);
  EXPECT_EQ(sendUSBBin(2), MLINK_OK);
  std::strcpy(serial, "A11111111");
  ASSERT_EQ(SelectOneDevice(serial), MLINK_OK);
  EXPECT_EQ(sendUSBBin(1), MLINK_OK);

  // An unknown serial number leaves the selection as it was.
  std::strcpy(serial, "A99999999");
  EXPECT_EQ(SelectOneDevice(serial), MLINK_TRANSPORT_FAILED);
  EXPECT_EQ(sendUSBBin(3), MLINK_OK);

  EXPECT_THAT(first->Writes(), ElementsAre(Bytes{1}, Bytes{3}));
  EXPECT_THAT(second->Writes(), ElementsAre(Bytes{2}));
}

TEST_F(DeviceTableTest, SelectCutsTheCallersTextToNineCharacters) {
  auto meter = PlugMeter("A12345678");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  meter->ClearRecord();
  char serial[16] = "A12345678XY";
  EXPECT_EQ(SelectOneDevice(serial), MLINK_OK);
  EXPECT_STREQ(serial, "A12345678");
  EXPECT_EQ(sendUSBBin(0x55), MLINK_OK);
  EXPECT_EQ(meter->Writes().size(), 1u);
}

TEST_F(DeviceTableTest, SelectCutsEvenWithoutTable) {
  char serial[16] = "A12345678XY";
  EXPECT_EQ(SelectOneDevice(serial), MLINK_TRANSPORT_FAILED);
  EXPECT_STREQ(serial, "A12345678");
}

TEST_F(DeviceTableTest, ShorterTextDoesNotSelectALongerSerial) {
  PlugMeter("A12345678");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  char serial[16] = "A1234";
  EXPECT_EQ(SelectOneDevice(serial), MLINK_TRANSPORT_FAILED);
}

TEST_F(DeviceTableTest, NullPointersAreBadArguments) {
  PlugMeter("A12345678");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_EQ(GetAllDeviceNum(nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(GetAllDeviceSerialNo(nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(SelectOneDevice(nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_THAT(SerialWalk(), ElementsAre("A12345678", "SN_END"));  // cursor untouched
}

// How the serial number is taken from the "IDN" reply of a meter at
// position 0, with a second meter "B22222222" behind it.
struct IdnCase {
  const char* name;
  std::string idn;     // the reply text before CR LF
  std::string serial;  // what the walk shows for position 0; "" when passed over
};

const IdnCase kIdnCases[] = {
    {"Plain", "VANTOR,LX40,A12345678,1.00", "A12345678"},
    {"ColonsAndCommas", "VANTOR:LX40:A12345678:1.00", "A12345678"},
    {"RunsAndLeadingSeparators", ":,:VANTOR,,:LX40::,A1,2", "A1"},
    {"ThirdFieldIsLast", "VANTOR,LX40,A12345678", "A12345678"},
    {"ElevenCharacters", "VANTOR,LX40,A1234567890", "A1234567890"},
    {"LongerFieldIsCutToEleven", "VANTOR,LX40,ABCDEFGHIJKLMNOPQRSTUVWXYZ,1.00", "ABCDEFGHIJK"},
    {"LongestReply", "M,L," + std::string(59, 'S'), "SSSSSSSSSSS"},
    {"TwoFields", "VANTOR,LX40", ""},
    {"TwoFieldsAndSeparators", "VANTOR,LX40,,::", ""},
    {"Empty", "", ""},
};

class IdnSerialTest : public DeviceTableTest, public ::testing::WithParamInterface<IdnCase> {};

TEST_P(IdnSerialTest, SerialComesFromTheThirdField) {
  const IdnCase& c = GetParam();
  PlugMeterWithIdn(c.idn);
  PlugMeter("B22222222");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_EQ(MeterCount(), 2);  // a meter without serial stays counted
  if (c.serial.empty()) {
    EXPECT_THAT(SerialWalk(), ElementsAre("B22222222", "SN_END"));
  } else {
    EXPECT_THAT(SerialWalk(), ElementsAre(c.serial, "B22222222", "SN_END"));
  }
  EXPECT_EQ(OpenHandles(), 4);
}

INSTANTIATE_TEST_SUITE_P(Replies, IdnSerialTest, ::testing::ValuesIn(kIdnCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(DeviceTableTest, SerialWalkWritesNoMoreThanTwelveBytes) {
  PlugMeter("ABCDEFGHIJKLMNOP");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  char serial[32];
  std::memset(serial, '#', sizeof serial);
  ASSERT_EQ(GetAllDeviceSerialNo(serial), MLINK_OK);
  EXPECT_STREQ(serial, "ABCDEFGHIJK");
  for (std::size_t i = 12; i < sizeof serial; ++i) ASSERT_EQ(serial[i], '#') << i;
}

TEST_F(DeviceTableTest, ElevenCharacterSerialIsSelectedByItsFirstNine) {
  // The walk hands out the whole serial; selecting with it cuts it to nine
  // characters, which must still find the meter.
  auto meter = PlugMeter("A1234567890");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  char serial[16] = {};
  ASSERT_EQ(GetAllDeviceSerialNo(serial), MLINK_OK);
  ASSERT_STREQ(serial, "A1234567890");
  EXPECT_EQ(SelectOneDevice(serial), MLINK_OK);
  EXPECT_STREQ(serial, "A12345678");
}

TEST_F(DeviceTableTest, FailedIdnKeepsTheMeterWithoutSerial) {
  auto broken = PlugDevice();
  broken->QueueText("LX40\r\n");
  broken->FailReadsFrom(3);  // QPID's block and idle read pass, IDN's read fails
  PlugMeter("B22222222");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_THAT(broken->WrittenTexts(), ElementsAre("QPID\n", "IDN\n"));
  EXPECT_EQ(MeterCount(), 2);
  EXPECT_THAT(SerialWalk(), ElementsAre("B22222222", "SN_END"));
  EXPECT_EQ(OpenHandles(), 4);
  EXPECT_EQ(CloseAllDevice(), MLINK_OK);
  EXPECT_EQ(OpenHandles(), 0);
}

TEST_F(DeviceTableTest, IdnWithoutCrKeepsTheMeterWithoutSerial) {
  auto broken = PlugDevice();
  broken->QueueText("LX40\r\n");
  broken->QueueText("VANTOR,LX40,A12345678");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  EXPECT_EQ(MeterCount(), 1);
  EXPECT_THAT(SerialWalk(), ElementsAre("SN_END"));
}

TEST_F(DeviceTableTest, EmptyTextSelectsNothing) {
  // Positions without a serial number (a non-meter, a meter whose "IDN"
  // failed) are never selected, not even by an empty text.
  PlugOtherDevice();
  auto noSerial = PlugMeterWithIdn("VANTOR,LX40");
  auto meter = PlugMeter("A33333333");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  char serial[16] = "A33333333";
  ASSERT_EQ(SelectOneDevice(serial), MLINK_OK);
  serial[0] = '\0';
  EXPECT_EQ(SelectOneDevice(serial), MLINK_TRANSPORT_FAILED);
  meter->ClearRecord();
  noSerial->ClearRecord();
  EXPECT_EQ(sendUSBBin(1), MLINK_OK);
  EXPECT_EQ(meter->Writes().size(), 1u);
  EXPECT_TRUE(noSerial->Writes().empty());
}

TEST_F(DeviceTableTest, ResetDeviceUsbJudgesTheAnswerAgainstTheModelString) {
  auto meter = SelectedMeter();
  meter->QueueText("LX40\r\n");
  EXPECT_EQ(ResetDeviceUSB(), MLINK_OK);
  meter->QueueText("USB_RESET_OK\r\n");
  EXPECT_EQ(ResetDeviceUSB(), MLINK_NOT_A_METER);
  meter->QueueText("BATERY_LO");
  EXPECT_EQ(ResetDeviceUSB(), MLINK_NOT_RECOGNISED);
  // No battery check goes before it.
  EXPECT_THAT(meter->WrittenTexts(),
              ElementsAre("RESET_USBLX40\n", "RESET_USBLX40\n", "RESET_USBLX40\n"));
}

TEST_F(DeviceTableTest, ResetDeviceUsbWithoutSelectionIsTransportFailure) {
  auto meter = PlugMeter("A12345678");
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  meter->ClearRecord();
  EXPECT_EQ(ResetDeviceUSB(), MLINK_TRANSPORT_FAILED);
  EXPECT_TRUE(meter->Writes().empty());
}

}  // namespace
}  // namespace mltest
