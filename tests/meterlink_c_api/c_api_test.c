/*
 * A C99 program that uses Meterlink's handle API through mlink.h alone and
 * calls every handle function against the two simulated meters
 * "A12345678" and "B23456789". Exit status 0 when every call gave what it
 * should.
 */
#include <mlink.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(int32_t got, int32_t want, const char* what) {
  if (got != want) {
    printf("FAIL %s: %ld (%s), expected %ld (%s)\n", what, (long)got, mlink_strerror(got),
           (long)want, mlink_strerror(want));
    ++failures;
  }
}

static void expect_true(int condition, const char* what) {
  if (!condition) {
    printf("FAIL %s\n", what);
    ++failures;
  }
}

/* CRC-16/CCITT-FALSE, as the meter checks it. */
static uint16_t crc16(const uint8_t* data, size_t size) {
  uint16_t crc = 0xFFFF;
  size_t i;
  int bit;
  for (i = 0; i < size; ++i) {
    crc = (uint16_t)(crc ^ (uint16_t)(data[i] << 8));
    for (bit = 0; bit < 8; ++bit) {
      crc = (uint16_t)((crc & 0x8000u) ? (((unsigned)crc << 1) ^ 0x1021u) : ((unsigned)crc << 1));
    }
  }
  return crc;
}

static void put16(uint8_t* at, unsigned value) {
  at[0] = (uint8_t)(value >> 8);
  at[1] = (uint8_t)value;
}

/* A table of three records for slot 5. */
#define RECORDS 3
#define TABLE_SIZE \
  (MLINK_TABLE_HEADER_SIZE + RECORDS * MLINK_TABLE_RECORD_SIZE + MLINK_TABLE_TRAILER_SIZE)
static void make_table(uint8_t* table) {
  size_t r;
  memset(table, 0, TABLE_SIZE);
  put16(table + 0, TABLE_SIZE);
  put16(table + 2, RECORDS);
  put16(table + 4, 5);
  put16(table + 6, 8010);
  for (r = 0; r < RECORDS; ++r) {
    uint8_t* record = table + MLINK_TABLE_HEADER_SIZE + r * MLINK_TABLE_RECORD_SIZE;
    put16(record, (unsigned)(1300 + r));
    record[2] = 0x3F; /* 1.0f, big-endian */
    record[3] = 0x80;
    if (r < 4) put16(table + 8 + 2 * r, (unsigned)(1300 + r));
  }
  put16(table + TABLE_SIZE - 2, crc16(table, TABLE_SIZE - 2));
}

int main(void) {
  mlink_meter_info infos[4];
  mlink_meter_info info;
  mlink_meter* meter = NULL;
  mlink_meter* other = NULL;
  size_t found = 0;
  size_t received = 0;
  char reply[MLINK_REPLY_SIZE];
  char answer[128];
  char sensor[MLINK_SENSOR_TEXT_SIZE];
  uint8_t slots[MLINK_SLOT_COUNT];
  uint8_t table[TABLE_SIZE];
  int32_t value = 0;
  int32_t rc;
  uint32_t done = 0, total = 0;
  IdnInfo idn;
  Reading reading;
  WaveEntry wave;
  WaveEntry waves[MLINK_WAVE_LIST_SIZE];
  ModeSettings mode;
  mlink_table_info table_info;

  printf("Meterlink %lu.%lu.%lu\n", (unsigned long)(mlink_version() >> 16),
         (unsigned long)((mlink_version() >> 8) & 0xFF), (unsigned long)(mlink_version() & 0xFF));
  expect_true(mlink_version() == MLINK_VERSION, "mlink_version");
  expect_true(strlen(mlink_strerror(MLINK_ERR_INVALID_HANDLE)) > 0, "mlink_strerror");

  expect(mlink_enumerate(infos, 4, &found), MLINK_OK, "mlink_enumerate");
  expect_true(found == 2 && strcmp(infos[0].serial, "A12345678") == 0 &&
                  strcmp(infos[1].serial, "B23456789") == 0,
              "two meters listed");

  expect(mlink_open("A1234567", &meter), MLINK_ERR_NO_SUCH_METER, "mlink_open by a prefix");
  expect(mlink_open("A12345678", &meter), MLINK_OK, "mlink_open");
  expect(mlink_open("A12345678", &other), MLINK_ERR_ALREADY_OPEN, "mlink_open twice");
  expect(mlink_get_info(meter, &info), MLINK_OK, "mlink_get_info");
  expect_true(strcmp(info.model, "LX40") == 0, "model");

  expect(mlink_command(meter, "QPID", reply, sizeof reply, 0), MLINK_OK, "mlink_command");
  expect_true(strcmp(reply, "LX40") == 0, "QPID reply");
  expect(mlink_command(meter, "QPID", reply, 3, 0), MLINK_ERR_BUFFER_TOO_SMALL,
         "mlink_command small buffer");
  expect(mlink_send(meter, "BTRY\n", 5), MLINK_OK, "mlink_send");
  expect(mlink_receive(meter, answer, sizeof answer, &received), MLINK_OK, "mlink_receive");
  expect_true(received == 10 && memcmp(answer, "BATERY_OK\r", 10) == 0, "raw answer");

  expect(mlink_battery(meter, &value), MLINK_OK, "mlink_battery");
  expect_true(value == 1, "battery good");
  expect(mlink_slots(meter, slots, sizeof slots), MLINK_OK, "mlink_slots");
  expect_true(slots[5] == 0, "slot 5 empty");

  expect(mlink_reset_settings(meter), MLINK_OK, "mlink_reset_settings");
  expect(mlink_reset_wavelengths(meter), MLINK_OK, "mlink_reset_wavelengths");
  expect(mlink_identity(meter, &idn), MLINK_OK, "mlink_identity");
  expect_true(strcmp(idn.serial, "A12345678") == 0, "identity serial");
  reading.value = 0.0f;
  reading.unit = MLINK_UNIT_DB;
  rc = mlink_measure(meter, &reading);
  expect_true(rc == MLINK_OK || rc == MLINK_MODE_OR_NO_DATA, "mlink_measure");
  expect(mlink_get_wavelength_list(meter, waves, MLINK_WAVE_LIST_SIZE), MLINK_OK,
         "mlink_get_wavelength_list");
  expect(mlink_get_sensor(meter, sensor, sizeof sensor), MLINK_OK, "mlink_get_sensor");
  expect(mlink_set_relative_to_current(meter), MLINK_OK, "mlink_set_relative_to_current");
  reading.value = -3.5f;
  reading.unit = MLINK_UNIT_DB;
  expect(mlink_set_relative(meter, &reading), MLINK_OK, "mlink_set_relative");
  reading.unit = MLINK_UNIT_DB;
  expect(mlink_get_relative(meter, &reading), MLINK_OK, "mlink_get_relative");
  expect(mlink_get_mode(meter, &mode), MLINK_OK, "mlink_get_mode");
  expect(mlink_set_mode(meter, &mode), MLINK_OK, "mlink_set_mode");
  expect(mlink_set_averaging(meter, 8), MLINK_OK, "mlink_set_averaging");
  expect(mlink_get_averaging(meter, &value), MLINK_OK, "mlink_get_averaging");
  expect_true(value == 8, "averaging");
  expect(mlink_get_range(meter, &value), MLINK_OK, "mlink_get_range");
  rc = mlink_set_range(meter, value);
  expect_true(rc == MLINK_OK || rc == MLINK_MODE_OR_NO_DATA, "mlink_set_range");
  expect(mlink_get_wavelength(meter, &wave), MLINK_OK, "mlink_get_wavelength");
  expect(mlink_set_wavelength(meter, &wave), MLINK_OK, "mlink_set_wavelength");
  expect(mlink_set_aps(meter, 1), MLINK_OK, "mlink_set_aps");
  expect(mlink_get_aps(meter, &value), MLINK_OK, "mlink_get_aps");
  expect_true(value == 1, "aps");

  make_table(table);
  expect(mlink_table_check(table, sizeof table, &table_info), MLINK_OK, "mlink_table_check");
  expect_true(table_info.records == RECORDS && table_info.slot == 5, "table info");
  table[20] ^= 1;
  expect(mlink_table_check(table, sizeof table, NULL), MLINK_ERR_TABLE_CRC, "bad CRC");
  expect(mlink_load_begin(meter, table, sizeof table), MLINK_ERR_TABLE_CRC, "load of a bad table");
  table[20] ^= 1;
  expect(mlink_load_begin(meter, table, sizeof table), MLINK_OK, "mlink_load_begin");
  rc = MLINK_OK;
  while (rc == MLINK_OK) {
    rc = mlink_load_step(meter);
    expect(mlink_load_progress(meter, &done, &total), MLINK_OK, "mlink_load_progress");
  }
  expect(rc, MLINK_DONE, "mlink_load_step to the end");
  expect_true(done == RECORDS + 3 && total == RECORDS + 3, "progress at the end");
  expect(mlink_slots(meter, slots, sizeof slots), MLINK_OK, "mlink_slots after the load");
  expect_true(slots[5] == 1, "slot 5 filled");
  expect(mlink_load_abort(meter), MLINK_ERR_LOAD_STATE, "mlink_load_abort without a load");

  expect(mlink_open("B23456789", &other), MLINK_OK, "mlink_open of the second meter");
  expect(mlink_load_begin(other, table, sizeof table), MLINK_OK, "load begin on the second");
  expect(mlink_load_abort(other), MLINK_OK, "mlink_load_abort");
  expect(mlink_close(other), MLINK_OK, "mlink_close of the second meter");

  expect(mlink_close(meter), MLINK_OK, "mlink_close");
  expect(mlink_close(meter), MLINK_ERR_INVALID_HANDLE, "mlink_close twice");
  expect(mlink_battery(meter, &value), MLINK_ERR_INVALID_HANDLE, "closed handle");
  expect(mlink_command(NULL, "QPID", reply, sizeof reply, 0), MLINK_ERR_INVALID_HANDLE,
         "null handle");

  if (failures == 0) printf("every handle function answered as expected\n");
  return failures == 0 ? 0 : 1;
}
