/*
 * A C program that uses Meterlink.dll as the existing callers do: written in
 * C against the public header, bound to the DLL by ordinal only. It is built
 * for every Windows architecture (on x86 it is the 32-bit caller that cannot
 * run on the build machines) and its import table is checked; the record
 * layouts it relies on are pinned here, as a C compiler of that
 * architecture sees them.
 *
 * Run on a PC with meters: prints each meter's identity, reading,
 * measurement settings and wavelength list. --raw also asks "QPID" through
 * the raw byte transfers; --reset also sets the meters' settings and
 * wavelength lists back to their defaults.
 */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "meterlink.h"

/* ---- Record layouts of the binary interface ------------------------------ */
_Static_assert(sizeof(int32_t) == 4 && sizeof(float) == 4, "32-bit fields");

_Static_assert(sizeof(IdnInfo) == 80, "IdnInfo: four texts back to back");
_Static_assert(offsetof(IdnInfo, maker) == 0, "IdnInfo.maker");
_Static_assert(offsetof(IdnInfo, model) == 30, "IdnInfo.model");
_Static_assert(offsetof(IdnInfo, serial) == 60, "IdnInfo.serial");
_Static_assert(offsetof(IdnInfo, version) == 75, "IdnInfo.version");

_Static_assert(sizeof(Reading) == 8, "Reading");
_Static_assert(offsetof(Reading, value) == 0, "Reading.value");
_Static_assert(offsetof(Reading, unit) == 4, "Reading.unit");

_Static_assert(sizeof(WaveEntry) == 8, "WaveEntry");
_Static_assert(offsetof(WaveEntry, wavelength) == 0, "WaveEntry.wavelength");
_Static_assert(offsetof(WaveEntry, value) == 4, "WaveEntry.value");

_Static_assert(sizeof(ModeSettings) == 20, "ModeSettings");
_Static_assert(offsetof(ModeSettings, wavelength) == 0, "ModeSettings.wavelength");
_Static_assert(offsetof(ModeSettings, relativeMode) == 4, "ModeSettings.relativeMode");
_Static_assert(offsetof(ModeSettings, hold) == 8, "ModeSettings.hold");
_Static_assert(offsetof(ModeSettings, rangeMode) == 12, "ModeSettings.rangeMode");
_Static_assert(offsetof(ModeSettings, unit) == 16, "ModeSettings.unit");

_Static_assert(sizeof(enum mlink_result) == 4, "result codes are 32-bit");

_Static_assert(sizeof(mlink_meter_info) == 124, "mlink_meter_info");
_Static_assert(offsetof(mlink_meter_info, serial) == 0, "mlink_meter_info.serial");
_Static_assert(offsetof(mlink_meter_info, maker) == 48, "mlink_meter_info.maker");
_Static_assert(offsetof(mlink_meter_info, model) == 78, "mlink_meter_info.model");
_Static_assert(offsetof(mlink_meter_info, version) == 108, "mlink_meter_info.version");
_Static_assert(offsetof(mlink_meter_info, position) == 116, "mlink_meter_info.position");
_Static_assert(offsetof(mlink_meter_info, flags) == 120, "mlink_meter_info.flags");

_Static_assert(sizeof(mlink_meter_place) == 676, "mlink_meter_place");
_Static_assert(offsetof(mlink_meter_place, path) == 0, "mlink_meter_place.path");
_Static_assert(offsetof(mlink_meter_place, port) == 512, "mlink_meter_place.port");
_Static_assert(offsetof(mlink_meter_place, generation) == 544, "mlink_meter_place.generation");
_Static_assert(offsetof(mlink_meter_place, flags) == 548, "mlink_meter_place.flags");
_Static_assert(offsetof(mlink_meter_place, info) == 552, "mlink_meter_place.info");

_Static_assert(sizeof(mlink_table_info) == 22, "mlink_table_info: eleven 16-bit fields");
_Static_assert(offsetof(mlink_table_info, header_wavelengths) == 8, "header_wavelengths");
_Static_assert(offsetof(mlink_table_info, crc) == 20, "mlink_table_info.crc");

#define UNIT_DB MLINK_UNIT_DB

static void show_meter(int reset, int raw) {
  IdnInfo idn;
  Reading reading = {0.0f, UNIT_DB};
  Reading relative = {0.0f, UNIT_DB};
  ModeSettings mode;
  WaveEntry waves[MLINK_WAVE_LIST_SIZE];
  WaveEntry current;
  char sensor[MLINK_SENSOR_TEXT_SIZE];
  char reply[64];
  int32_t average = 0, range = 0, aps = 0;
  uint8_t answer = 0;
  int i;

  if (QUES_IDN(&idn) == MLINK_OK) {
    printf("  %s %s %s version %s\n", idn.maker, idn.model, idn.serial, idn.version);
  }
  if (QUES_MeasData(&reading) == MLINK_OK)
    printf("  reading %g (unit %d)\n", reading.value, (int)reading.unit);
  if (QUES_Rel(&relative) == MLINK_OK)
    printf("  reference %g (unit %d)\n", relative.value, (int)relative.unit);
  if (QUES_Sensor(sensor) == MLINK_OK) printf("  sensor %s\n", sensor);
  if (SQ_Mode(1, &mode) == MLINK_OK) {
    printf("  mode %d nm, relative %d, hold %d, range %d, unit %d\n", (int)mode.wavelength,
           (int)mode.relativeMode, (int)mode.hold, (int)mode.rangeMode, (int)mode.unit);
  }
  if (SQ_Ave(1, &average) == MLINK_OK) printf("  averaging %d\n", (int)average);
  if (SQ_Range(1, &range) == MLINK_OK) printf("  range %d\n", (int)range);
  if (SQ_Aps(1, &aps) == MLINK_OK) printf("  auto power save %s\n", aps ? "on" : "off");
  if (SQ_Wave(1, &current) == MLINK_OK) printf("  wavelength %d nm\n", (int)current.wavelength);
  memset(waves, 0, sizeof waves);
  if (QUES_AllWave(waves) == MLINK_OK) {
    for (i = 0; i < MLINK_WAVE_LIST_SIZE; ++i) {
      printf("  list %d: %d nm %.3f\n", i, (int)waves[i].wavelength, waves[i].value);
    }
  }
  if (USBComd_SendRecv("QPID", reply) == MLINK_OK) printf("  QPID %s\n", reply);
  if (raw) {
    /* The same question through the raw transfers, byte by byte. */
    if (sendUSBBytes((const uint8_t*)"QPID", 4) == 1 && sendUSBBin('\n') == 1 &&
        recvUSBBin(NULL) == 1) {
      printf("  raw answer:");
      while (recvUSBBin(&answer) == 1) printf(" %02X", (unsigned)answer);
      printf("\n");
    }
  }
  if (reset) {
    printf("  reset settings %d, wavelengths %d, relative %d/%d, USB %d\n", (int)ResetAllData(),
           (int)ResetAllWave(), (int)SET_Rel0(), (int)SET_Rel1(&relative), (int)ResetDeviceUSB());
  }
}

/* The same meters through the handle API, one handle each. */
static void show_handle_meters(void) {
  mlink_meter_info infos[8];
  size_t found = 0, i;
  int32_t result = mlink_enumerate(infos, 8, &found);
  uint32_t version = mlink_version();
  printf("handle API %u.%u.%u: %s, %u meter(s)\n", (unsigned)(version >> 16),
         (unsigned)((version >> 8) & 0xFF), (unsigned)(version & 0xFF), mlink_strerror(result),
         (unsigned)found);
  for (i = 0; result == MLINK_OK && i < found && i < 8; ++i) {
    mlink_meter* meter = NULL;
    IdnInfo idn;
    int32_t opened = mlink_open(infos[i].serial, &meter);
    if (opened != MLINK_OK) {
      printf("  %s: %s\n", infos[i].serial, mlink_strerror(opened));
      continue;
    }
    if (mlink_identity(meter, &idn) == MLINK_OK) {
      printf("  %s: %s %s version %s\n", infos[i].serial, idn.maker, idn.model, idn.version);
    }
    mlink_close(meter);
  }
}

/* Each meter by where it is plugged: by port, else by interface path. */
static void show_meter_places(void) {
  mlink_meter_place places[8];
  size_t found = 0, i;
  char detail[256];
  int32_t result = mlink_enumerate_places(places, 8, &found);
  printf("%u meter place(s): %s\n", (unsigned)found, mlink_strerror(result));
  for (i = 0; result == MLINK_OK && i < found && i < 8; ++i) {
    mlink_meter* meter = NULL;
    mlink_meter_place place;
    int32_t opened = places[i].port[0] != '\0'
                         ? mlink_open_port(places[i].port, &meter)
                         : mlink_open_path(places[i].path, places[i].generation, &meter);
    if (opened != MLINK_OK) {
      if (mlink_last_error_detail(detail, sizeof detail) != MLINK_OK) detail[0] = '\0';
      printf("  port %s: %s %s\n", places[i].port, mlink_strerror(opened), detail);
      continue;
    }
    if (mlink_get_place(meter, &place) == MLINK_OK) {
      printf("  port %s: %s%s\n", place.port, place.info.serial,
             (place.flags & MLINK_INFO_SERIAL_SHARED) != 0 ? " (serial shared)" : "");
    }
    mlink_close(meter);
  }
}

int main(int argc, char** argv) {
  int reset = 0, raw = 0, i;
  int32_t count = 0, result;
  char serial[12];
  char selected[12];

  for (i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--reset") == 0) reset = 1;
    if (strcmp(argv[i], "--raw") == 0) raw = 1;
  }

  result = OpenAllDevice();
  if (result != MLINK_OK) {
    printf("no LX40 meter (result %d)\n", (int)result);
    return 1;
  }
  GetAllDeviceNum(&count);
  printf("%d meter(s)\n", (int)count);
  while (GetAllDeviceSerialNo(serial) == MLINK_OK && strcmp(serial, "SN_END") != 0) {
    /* SelectOneDevice cuts its argument at 9 characters in place. */
    memcpy(selected, serial, sizeof selected);
    printf("meter %s\n", serial);
    if (SelectOneDevice(selected) == MLINK_OK) show_meter(reset, raw);
  }
  CloseAllDevice();
  show_handle_meters();
  show_meter_places();
  return 0;
}
