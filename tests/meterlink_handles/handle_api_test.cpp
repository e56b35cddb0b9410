// The handle API end to end against virtual meters: finding and opening
// meters, text commands and raw transfers, the meter commands, the table
// check and the step-wise load.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "handle_fixture.h"
#include "memory_resources.h"

namespace handletest {
namespace {

using usbsim::MeterConfig;

// --- Finding, opening, closing ----------------------------------------------

TEST_F(HandleTest, EnumerateListsEveryMeterWithItsIdentityAndLeavesNothingOpen) {
  Attach(MeterWithSerial("A12345678"));
  MeterConfig other = MeterWithSerial("B23456789");
  other.version = "213";
  Attach(other);
  MeterConfig notLx40;
  notLx40.model = "LX41";
  Attach(notLx40);

  mlink_meter_info infos[4] = {};
  size_t found = 99;
  ASSERT_EQ(mlink_enumerate(infos, 4, &found), MLINK_OK);
  ASSERT_EQ(found, 2u);
  EXPECT_STREQ(infos[0].serial, "A12345678");
  EXPECT_STREQ(infos[0].maker, "Vantor");
  EXPECT_STREQ(infos[0].model, "LX40");
  EXPECT_STREQ(infos[0].version, "1.00");
  EXPECT_EQ(infos[0].position, 0);
  EXPECT_EQ(infos[0].flags, 0u);
  EXPECT_STREQ(infos[1].serial, "B23456789");
  EXPECT_STREQ(infos[1].version, "2.13");
  EXPECT_EQ(infos[1].position, 1);
  EXPECT_EQ(Bus().OpenHandleCount(), 0);
}

TEST_F(HandleTest, EnumerateCountsBeyondTheCapacityAndWritesNoFurther) {
  for (const char* serial : {"A1", "A2", "A3"}) Attach(MeterWithSerial(serial));
  size_t found = 0;
  ASSERT_EQ(mlink_enumerate(nullptr, 0, &found), MLINK_OK);
  EXPECT_EQ(found, 3u);
  mlink_meter_info infos[3];
  std::memset(infos, 0x5A, sizeof infos);
  ASSERT_EQ(mlink_enumerate(infos, 1, &found), MLINK_OK);
  EXPECT_EQ(found, 3u);
  EXPECT_STREQ(infos[0].serial, "A1");
  EXPECT_EQ(infos[1].position, 0x5A5A5A5A);  // untouched
  EXPECT_EQ(mlink_enumerate(nullptr, 1, &found), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_enumerate(infos, 1, nullptr), MLINK_BAD_ARGUMENT);
}

TEST_F(HandleTest, SerialOfFortyCharactersIsListedWholeAndOpened) {
  const std::string serial(40, 'S');
  Attach(MeterWithSerial(serial));
  mlink_meter_info info{};
  size_t found = 0;
  ASSERT_EQ(mlink_enumerate(&info, 1, &found), MLINK_OK);
  ASSERT_EQ(found, 1u);
  EXPECT_EQ(std::string(info.serial), serial);
  EXPECT_EQ(info.flags & MLINK_INFO_SERIAL_CUT, 0u);
  mlink_meter* meter = Open(serial);
  ASSERT_NE(meter, nullptr);
  // The ordinal record keeps its 15-byte field: cut, NUL-terminated.
  IdnInfo idn;
  ASSERT_EQ(mlink_identity(meter, &idn), MLINK_OK);
  EXPECT_EQ(std::string(idn.serial), serial.substr(0, sizeof idn.serial - 1));
}

TEST_F(HandleTest, OpenComparesTheWholeSerial) {
  auto meter = Attach(MeterWithSerial("A123456789XYZ"));
  mlink_meter* handle = reinterpret_cast<mlink_meter*>(0x1);
  EXPECT_EQ(mlink_open("A12345678", &handle), MLINK_ERR_NO_SUCH_METER);  // a prefix
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(mlink_open("A123456789XYZW", &handle), MLINK_ERR_NO_SUCH_METER);
  EXPECT_EQ(mlink_open("", &handle), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_open(nullptr, &handle), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_open("A123456789XYZ", nullptr), MLINK_BAD_ARGUMENT);
  // Longer than any serial field: refused without a look at the bus.
  meter->ClearTranscript();
  EXPECT_EQ(mlink_open(std::string(60, 'A').c_str(), &handle), MLINK_ERR_NO_SUCH_METER);
  EXPECT_TRUE(meter->Transcript().empty());
  EXPECT_NE(Open("A123456789XYZ"), nullptr);
}

TEST_F(HandleTest, AMeterOpenInEitherInterfaceIsRefusedAndNotTalkedTo) {
  auto first = Attach(MeterWithSerial("A12345678"));
  auto second = Attach(MeterWithSerial("B23456789"));
  mlink_meter* a = Open("A12345678");
  ASSERT_NE(a, nullptr);
  first->ClearTranscript();

  mlink_meter* again = nullptr;
  EXPECT_EQ(mlink_open("A12345678", &again), MLINK_ERR_ALREADY_OPEN);
  EXPECT_EQ(again, nullptr);
  // The ordinal table passes the open meter over.
  ASSERT_EQ(OpenAllDevice(), MLINK_OK);
  int32_t count = 0;
  ASSERT_EQ(GetAllDeviceNum(&count), MLINK_OK);
  EXPECT_EQ(count, 1);
  char serial[16] = {};
  ASSERT_EQ(GetAllDeviceSerialNo(serial), MLINK_OK);
  EXPECT_STREQ(serial, "B23456789");
  // And a meter in the ordinal table is refused to the handle API.
  EXPECT_EQ(mlink_open("B23456789", &again), MLINK_ERR_ALREADY_OPEN);
  // Enumeration reports both from the registry.
  mlink_meter_info infos[2] = {};
  size_t found = 0;
  ASSERT_EQ(mlink_enumerate(infos, 2, &found), MLINK_OK);
  ASSERT_EQ(found, 2u);
  EXPECT_EQ(infos[0].flags, MLINK_INFO_IN_USE);
  EXPECT_STREQ(infos[0].serial, "A12345678");
  EXPECT_EQ(infos[1].flags, MLINK_INFO_IN_USE);
  EXPECT_STREQ(infos[1].serial, "B23456789");
  EXPECT_TRUE(first->Transcript().empty());

  // Closing the table leaves the handle alone, and the reverse.
  ASSERT_EQ(CloseAllDevice(), MLINK_OK);
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(a, &ok), MLINK_OK);
  EXPECT_EQ(ok, 1);
  mlink_meter* b = Open("B23456789");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(mlink_close(a), MLINK_OK);
  EXPECT_EQ(mlink_battery(b, &ok), MLINK_OK);
  EXPECT_EQ(mlink_battery(a, &ok), MLINK_ERR_INVALID_HANDLE);
}

TEST_F(HandleTest, ClosedAndMadeUpHandlesAreRefusedEverywhere) {
  Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open("A12345678", &meter), MLINK_OK);
  ASSERT_EQ(mlink_close(meter), MLINK_OK);
  int dummy = 0;
  mlink_meter* madeUp = reinterpret_cast<mlink_meter*>(&dummy);
  for (mlink_meter* bad : {meter, madeUp, static_cast<mlink_meter*>(nullptr)}) {
    char text[64];
    int32_t value = 0;
    uint32_t done = 0, total = 0;
    mlink_meter_info info;
    EXPECT_EQ(mlink_close(bad), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_get_info(bad, &info), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_command(bad, "BTRY", text, sizeof text, 0), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_battery(bad, &value), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_get_averaging(bad, &value), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_set_aps(bad, 1), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_get_sensor(bad, text, 0), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_load_step(bad), MLINK_ERR_INVALID_HANDLE);
    EXPECT_EQ(mlink_load_progress(bad, &done, &total), MLINK_ERR_INVALID_HANDLE);
  }
}

// --- Text commands and raw transfers -------------------------------------------

TEST_F(HandleTest, CommandChecksTheBatteryAndMapsErrorReplies) {
  MeterConfig config = MeterWithSerial("A12345678");
  config.faults.error_replies["GET_AVE"] = "CMD_ERR";
  auto virtualMeter = Attach(config);
  mlink_meter* meter = Open("A12345678");
  virtualMeter->ClearTranscript();

  char reply[MLINK_REPLY_SIZE];
  EXPECT_EQ(mlink_command(meter, "QPID", reply, sizeof reply, 0), MLINK_OK);
  EXPECT_STREQ(reply, "LX40");
  EXPECT_EQ(mlink_command(meter, "GET_AVE", reply, sizeof reply, MLINK_COMMAND_NO_BATTERY_CHECK),
            MLINK_NOT_RECOGNISED);
  EXPECT_STREQ(reply, "CMD_ERR");
  EXPECT_EQ(HostWrites(*virtualMeter),
            (std::vector<Bytes>{{'B', 'T', 'R', 'Y', '\n'},
                                {'Q', 'P', 'I', 'D', '\n'},
                                {'G', 'E', 'T', '_', 'A', 'V', 'E', '\n'}}));
  virtualMeter->SetBatteryLow(true);
  EXPECT_EQ(mlink_command(meter, "QPID", reply, sizeof reply, 0), MLINK_BATTERY_LOW);
}

TEST_F(HandleTest, CommandNeverWritesPastTheReplyBuffer) {
  auto virtualMeter = Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = Open("A12345678");
  // "LX40" needs 5 bytes: 4 is refused with "" and nothing beyond byte 4.
  char reply[8];
  std::memset(reply, '#', sizeof reply);
  EXPECT_EQ(mlink_command(meter, "QPID", reply, 4, 0), MLINK_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(reply[0], '\0');
  EXPECT_EQ(std::string(reply + 1, 7), "#######");
  EXPECT_EQ(mlink_command(meter, "QPID", reply, 5, 0), MLINK_OK);
  EXPECT_STREQ(reply, "LX40");
  EXPECT_EQ(reply[5], '#');
  // Refused input: nothing sent.
  virtualMeter->ClearTranscript();
  EXPECT_EQ(mlink_command(meter, "QPID", reply, 0, 0), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_command(meter, "QPID", nullptr, 64, 0), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_command(meter, nullptr, reply, sizeof reply, 0), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_command(meter, "", reply, sizeof reply, 0), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_command(meter, "QP\nID", reply, sizeof reply, 0), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_command(meter, std::string(101, 'A').c_str(), reply, sizeof reply, 0),
            MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_command(meter, "QPID", reply, sizeof reply, 0x80), MLINK_BAD_ARGUMENT);
  EXPECT_TRUE(virtualMeter->Transcript().empty());
}

TEST_F(HandleTest, ReceiveTakesTheWholeAnswerAndSaysHowLongATooLongOneWas) {
  MeterConfig config = MeterWithSerial("A12345678");
  config.faults.split_reply["BTRY"] = 3;  // the answer comes in blocks of 3 bytes
  Attach(config);
  mlink_meter* meter = Open("A12345678");
  const char idn[] = "BTRY\n";
  ASSERT_EQ(mlink_send(meter, idn, 5), MLINK_OK);
  char answer[128] = {};
  size_t received = 0;
  ASSERT_EQ(mlink_receive(meter, answer, sizeof answer, &received), MLINK_OK);
  EXPECT_EQ(std::string(answer, received), "BATERY_OK\r");

  ASSERT_EQ(mlink_send(meter, idn, 5), MLINK_OK);
  char small[8];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(mlink_receive(meter, small, 4, &received), MLINK_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(received, 10u);
  EXPECT_EQ(std::string(small, 8), "BATE####");

  EXPECT_EQ(mlink_send(meter, idn, 0), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_send(meter, idn, MLINK_MAX_SEND + 1), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_send(meter, nullptr, 4), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_receive(meter, nullptr, 4, &received), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_receive(meter, answer, 4, nullptr), MLINK_BAD_ARGUMENT);
}

// --- Battery, slots, meter commands ------------------------------------------------

TEST_F(HandleTest, BatteryAndSlots) {
  MeterConfig config = MeterWithSerial("A12345678");
  config.slots_filled[2] = true;
  config.slots_filled[6] = true;
  auto virtualMeter = Attach(config);
  mlink_meter* meter = Open("A12345678");
  int32_t ok = -1;
  ASSERT_EQ(mlink_battery(meter, &ok), MLINK_OK);
  EXPECT_EQ(ok, 1);
  uint8_t slots[MLINK_SLOT_COUNT + 1];
  std::memset(slots, 9, sizeof slots);
  ASSERT_EQ(mlink_slots(meter, slots, MLINK_SLOT_COUNT), MLINK_OK);
  EXPECT_EQ(std::vector<uint8_t>(slots, slots + 8), (std::vector<uint8_t>{0, 0, 1, 0, 0, 0, 1, 9}));
  EXPECT_EQ(mlink_slots(meter, slots, MLINK_SLOT_COUNT - 1), MLINK_ERR_BUFFER_TOO_SMALL);
  virtualMeter->SetBatteryLow(true);
  ASSERT_EQ(mlink_battery(meter, &ok), MLINK_OK);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(mlink_slots(meter, slots, MLINK_SLOT_COUNT), MLINK_BATTERY_LOW);
}

TEST_F(HandleTest, MeterCommandsReachTheMeter) {
  auto virtualMeter = Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = Open("A12345678");
  IdnInfo idn;
  ASSERT_EQ(mlink_identity(meter, &idn), MLINK_OK);
  EXPECT_STREQ(idn.serial, "A12345678");
  EXPECT_STREQ(idn.version, "1.00");

  ASSERT_EQ(mlink_set_averaging(meter, 17), MLINK_OK);
  int32_t count = 0;
  ASSERT_EQ(mlink_get_averaging(meter, &count), MLINK_OK);
  EXPECT_EQ(count, 17);
  ASSERT_EQ(mlink_get_range(meter, &count), MLINK_OK);
  EXPECT_EQ(mlink_set_range(meter, 3), MLINK_BAD_ARGUMENT);  // the meter's "DATA_ERR"
  ASSERT_EQ(mlink_set_aps(meter, 0), MLINK_OK);
  int32_t on = 1;
  ASSERT_EQ(mlink_get_aps(meter, &on), MLINK_OK);
  EXPECT_EQ(on, 0);
  EXPECT_EQ(mlink_set_aps(meter, 2), MLINK_BAD_ARGUMENT);

  const WaveEntry wave{1550, 1.25f};
  ASSERT_EQ(mlink_set_wavelength(meter, &wave), MLINK_OK);
  WaveEntry now{};
  ASSERT_EQ(mlink_get_wavelength(meter, &now), MLINK_OK);
  EXPECT_EQ(now.wavelength, 1550);
  EXPECT_FLOAT_EQ(now.value, 1.25f);
  WaveEntry list[MLINK_WAVE_LIST_SIZE] = {};
  ASSERT_EQ(mlink_get_wavelength_list(meter, list, MLINK_WAVE_LIST_SIZE), MLINK_OK);
  EXPECT_NE(list[0].wavelength, 0);
  EXPECT_EQ(mlink_get_wavelength_list(meter, list, MLINK_WAVE_LIST_SIZE - 1),
            MLINK_ERR_BUFFER_TOO_SMALL);

  ModeSettings mode{};
  ASSERT_EQ(mlink_get_mode(meter, &mode), MLINK_OK);
  mode.hold = MLINK_MODE_HOLD_MAX;
  ASSERT_EQ(mlink_set_mode(meter, &mode), MLINK_OK);
  ModeSettings back{};
  ASSERT_EQ(mlink_get_mode(meter, &back), MLINK_OK);
  EXPECT_EQ(back.hold, MLINK_MODE_HOLD_MAX);

  Reading reading{0.0f, MLINK_UNIT_DB};
  EXPECT_EQ(mlink_measure(meter, &reading), MLINK_OK);
  ASSERT_EQ(mlink_set_relative_to_current(meter), MLINK_OK);
  const Reading reference{-10.5f, MLINK_UNIT_DB};
  ASSERT_EQ(mlink_set_relative(meter, &reference), MLINK_OK);
  Reading relative{0.0f, MLINK_UNIT_DB};
  ASSERT_EQ(mlink_get_relative(meter, &relative), MLINK_OK);
  EXPECT_NEAR(relative.value, -10.5f, 0.01f);

  char sensor[MLINK_SENSOR_TEXT_SIZE];
  ASSERT_EQ(mlink_get_sensor(meter, sensor, sizeof sensor), MLINK_OK);
  char tiny[2] = {'#', '#'};
  EXPECT_EQ(mlink_get_sensor(meter, tiny, 1), MLINK_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(tiny[0], '\0');
  EXPECT_EQ(tiny[1], '#');
  EXPECT_EQ(mlink_reset_settings(meter), MLINK_OK);
  EXPECT_EQ(mlink_reset_wavelengths(meter), MLINK_OK);

  // Null records: nothing sent.
  virtualMeter->ClearTranscript();
  EXPECT_EQ(mlink_identity(meter, nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_measure(meter, nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_get_mode(meter, nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_set_wavelength(meter, nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_get_sensor(meter, nullptr, 64), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_get_wavelength_list(meter, nullptr, 10), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_battery(meter, nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_slots(meter, nullptr, 7), MLINK_BAD_ARGUMENT);
  EXPECT_TRUE(virtualMeter->Transcript().empty());
}

// --- Tables -------------------------------------------------------------------

TEST(TableCheck, FindsTheFirstFault) {
  const Bytes good = MakeSensorTable(3, 8011, 5);
  mlink_table_info info{};
  ASSERT_EQ(mlink_table_check(good.data(), good.size(), &info), MLINK_OK);
  EXPECT_EQ(info.total_size, good.size());
  EXPECT_EQ(info.records, 5);
  EXPECT_EQ(info.slot, 3);
  EXPECT_EQ(info.type_code, 8011);
  EXPECT_EQ(info.min_wavelength, 400);
  EXPECT_EQ(info.max_wavelength, 404);

  struct Case {
    const char* what;
    Bytes table;
    size_t size;
    int32_t result;
  };
  Bytes badCrc = good;
  badCrc.back() ^= 1;
  Bytes badSlot = MakeSensorTable(7, 8011, 5);
  Bytes badCount = good;
  badCount[3] = 4;
  Bytes noRecords = MakeSensorTable(3, 8011, 0);
  const Case cases[] = {
      {"one byte short", good, good.size() - 1, MLINK_ERR_TABLE_SIZE},
      {"empty", good, 0, MLINK_ERR_TABLE_SIZE},
      {"header only", good, 16, MLINK_ERR_TABLE_SIZE},
      {"record count", badCount, badCount.size(), MLINK_ERR_TABLE_RECORDS},
      {"no records", noRecords, noRecords.size(), MLINK_ERR_TABLE_RECORDS},
      {"slot 7", badSlot, badSlot.size(), MLINK_ERR_TABLE_SLOT},
      {"crc", badCrc, badCrc.size(), MLINK_ERR_TABLE_CRC},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mlink_table_check(c.table.data(), c.size, nullptr), c.result) << c.what;
  }
  EXPECT_EQ(mlink_table_check(nullptr, 20, &info), MLINK_BAD_ARGUMENT);
}

// Runs a load to its end; the last step's result.
int32_t LoadWhole(mlink_meter* meter, const Bytes& table, uint32_t* steps = nullptr) {
  int32_t rc = mlink_load_begin(meter, table.data(), table.size());
  uint32_t calls = 0;
  while (rc == MLINK_OK && calls < 100000) {
    rc = mlink_load_step(meter);
    ++calls;
  }
  if (steps != nullptr) *steps = calls;
  return rc;
}

TEST_F(HandleTest, LoadStoresTheTableByteExactWithProgress) {
  auto virtualMeter = Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = Open("A12345678");
  const Bytes table = MakeSensorTable(4, 8010, 12);
  ASSERT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_OK);
  uint32_t done = 99, total = 0;
  ASSERT_EQ(mlink_load_progress(meter, &done, &total), MLINK_OK);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(total, 12u + 3u);
  // A command in the middle of a load is refused, nothing sent.
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_ERR_LOAD_STATE);
  EXPECT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_ERR_LOAD_STATE);
  int32_t rc = MLINK_OK;
  uint32_t last = 0;
  while (rc == MLINK_OK) {
    rc = mlink_load_step(meter);
    ASSERT_EQ(mlink_load_progress(meter, &done, &total), MLINK_OK);
    EXPECT_EQ(done, last + 1);
    last = done;
  }
  EXPECT_EQ(rc, MLINK_DONE);
  EXPECT_EQ(done, total);
  EXPECT_EQ(virtualMeter->SlotContent(4), std::optional<Bytes>(table));
  EXPECT_EQ(mlink_load_step(meter), MLINK_ERR_LOAD_STATE);
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_OK);  // free again
}

TEST_F(HandleTest, RefusedTableSendsNothing) {
  auto virtualMeter = Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = Open("A12345678");
  virtualMeter->ClearTranscript();
  Bytes table = MakeSensorTable(4, 8010, 12);
  table[20] ^= 0x40;  // a record byte: the CRC no longer matches
  EXPECT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_ERR_TABLE_CRC);
  EXPECT_EQ(mlink_load_begin(meter, table.data(), table.size() - 2), MLINK_ERR_TABLE_SIZE);
  EXPECT_EQ(mlink_load_begin(meter, nullptr, 20), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_load_step(meter), MLINK_ERR_LOAD_STATE);
  EXPECT_EQ(mlink_load_abort(meter), MLINK_ERR_LOAD_STATE);
  EXPECT_TRUE(virtualMeter->Transcript().empty());
}

TEST_F(HandleTest, AbortMidTableLeavesTheSlotAndBlocksTheHandle) {
  auto virtualMeter = Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = Open("A12345678");
  const Bytes table = MakeSensorTable(2, 8010, 6);
  ASSERT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_OK);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(mlink_load_step(meter), MLINK_OK);
  ASSERT_EQ(mlink_load_abort(meter), MLINK_OK);
  EXPECT_EQ(virtualMeter->SlotContent(2), std::nullopt);
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_ERR_LOAD_ABANDONED);
  EXPECT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_ERR_LOAD_ABANDONED);
  EXPECT_EQ(mlink_close(meter), MLINK_OK);
}

TEST_F(HandleTest, AbortBeforeTheFirstStepLeavesTheMeterFree) {
  Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = Open("A12345678");
  const Bytes table = MakeSensorTable(2, 8010, 6);
  ASSERT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_OK);
  ASSERT_EQ(mlink_load_abort(meter), MLINK_OK);
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_OK);
}

TEST_F(HandleTest, LoadFailuresGiveTheirCodes) {
  struct Case {
    const char* what;
    usbsim::MeterFaults faults;
    int32_t result;
    bool meterFree;  // later commands allowed
  };
  usbsim::MeterFaults wrongEcho;
  wrongEcho.wrong_echo_at = 5;
  usbsim::MeterFaults nakHeader;
  nakHeader.nak_header = true;
  usbsim::MeterFaults nakTrailer;
  nakTrailer.nak_trailer = true;
  const Case cases[] = {
      {"wrong echo", wrongEcho, MLINK_ERR_HANDSHAKE, false},
      {"refused header", nakHeader, MLINK_ERR_HANDSHAKE, false},
      {"refused trailer", nakTrailer, MLINK_ERR_HANDSHAKE, true},
  };
  for (const Case& c : cases) {
    Bus().Reset();
    const usbsim::NodeId root = Bus().AddController(0, 2);
    MeterConfig config = MeterWithSerial("A12345678");
    config.faults = c.faults;
    auto virtualMeter = usbsim::AttachMeter(root, 1, config).meter;
    mlink_meter* meter = nullptr;
    ASSERT_EQ(mlink_open("A12345678", &meter), MLINK_OK) << c.what;
    const Bytes table = MakeSensorTable(1, 8010, 3);
    EXPECT_EQ(LoadWhole(meter, table), c.result) << c.what;
    EXPECT_EQ(virtualMeter->SlotContent(1), std::nullopt) << c.what;
    int32_t ok = 0;
    EXPECT_EQ(mlink_battery(meter, &ok), c.meterFree ? MLINK_OK : MLINK_ERR_LOAD_ABANDONED)
        << c.what;
    EXPECT_EQ(mlink_close(meter), MLINK_OK);
  }
}

// A meter that takes every write and never answers again: the load fails
// with MLINK_ERR_NO_ANSWER by the third empty answer, and nothing is written
// after that.
TEST_F(HandleTest, HungMeterFailsTheLoadAndGetsNoMoreBytes) {
  auto virtualMeter = Attach(MeterWithSerial("A12345678"));
  mlink_meter* meter = Open("A12345678");
  const Bytes table = MakeSensorTable(1, 8010, 10);
  ASSERT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_OK);
  ASSERT_EQ(mlink_load_step(meter), MLINK_OK);  // HOSEI
  ASSERT_EQ(mlink_load_step(meter), MLINK_OK);  // header
  ASSERT_EQ(mlink_load_step(meter), MLINK_OK);  // record 1
  usbsim::MeterFaults faults;
  faults.silent_from = virtualMeter->ExchangeCount() + 1;
  virtualMeter->SetFaults(faults);
  int32_t rc = MLINK_OK;
  int steps = 0;
  while (rc == MLINK_OK && steps < 20) {
    rc = mlink_load_step(meter);
    ++steps;
  }
  EXPECT_EQ(rc, MLINK_ERR_NO_ANSWER);
  // Records 2 to 4 go out (the answer to record 1 came; the empty answers
  // to records 2 and 3 are tolerated); the third empty answer stops the load.
  const int written = virtualMeter->ExchangeCount();
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(mlink_load_step(meter), MLINK_ERR_LOAD_STATE);
  EXPECT_EQ(virtualMeter->ExchangeCount(), written);
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_ERR_LOAD_ABANDONED);
  EXPECT_EQ(virtualMeter->ExchangeCount(), written);
}

TEST(ResultTexts, EveryCodeHasItsOwnText) {
  const int32_t codes[] = {MLINK_OK,
                           MLINK_DONE,
                           MLINK_RAW_FAILED,
                           MLINK_BAD_ARGUMENT,
                           MLINK_TRANSPORT_FAILED,
                           MLINK_NOT_RECOGNISED,
                           MLINK_BATTERY_LOW,
                           MLINK_NOT_A_METER,
                           MLINK_SENSOR_OR_MEMORY,
                           MLINK_MODE_OR_NO_DATA,
                           MLINK_ERR_INVALID_HANDLE,
                           MLINK_ERR_NO_SUCH_METER,
                           MLINK_ERR_ALREADY_OPEN,
                           MLINK_ERR_BUFFER_TOO_SMALL,
                           MLINK_ERR_TABLE_SIZE,
                           MLINK_ERR_TABLE_RECORDS,
                           MLINK_ERR_TABLE_CRC,
                           MLINK_ERR_TABLE_SLOT,
                           MLINK_ERR_LOAD_STATE,
                           MLINK_ERR_HANDSHAKE,
                           MLINK_ERR_NO_ANSWER,
                           MLINK_ERR_LOAD_ABANDONED,
                           MLINK_ERR_NO_MEMORY,
                           MLINK_ERR_LOCK_FAILED,
                           MLINK_ERR_NEEDS_REPLUG,
                           MLINK_ERR_REPLUGGED,
                           MLINK_ERR_IN_USE_ELSEWHERE};
  const std::string unknown = mlink_strerror(-999);
  std::vector<std::string> texts;
  for (const int32_t code : codes) {
    const char* text = mlink_strerror(code);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(text, unknown) << code;
    for (const std::string& seen : texts) EXPECT_NE(seen, text) << code;
    texts.emplace_back(text);
  }
  EXPECT_EQ(mlink_version(), MLINK_VERSION);
}

}  // namespace
}  // namespace handletest
