/*
 * Result codes returned by every Meterlink export (a signed 32-bit integer).
 * The values are part of the binary interface: Sensorwiz maps them to its
 * messages, so they never change.
 */
#ifndef LX40_METERLINK_RESULT_CODES_H
#define LX40_METERLINK_RESULT_CODES_H

enum MlinkResult {
  MLINK_OK = 1,                /* success */
  MLINK_RAW_FAILED = 0,        /* a raw transfer failed; USBComd_SendRecv with nothing to do */
  MLINK_BAD_ARGUMENT = -1,     /* null pointer, bad mode flag or setting; the reply "DATA_ERR" */
  MLINK_TRANSPORT_FAILED = -2, /* command too long, write or read failed, no device table,
                                  no meter selected, unknown serial number, pipes not opened */
  MLINK_NOT_RECOGNISED = -4,   /* no CR in the reply, the reply "CMD_ERR", an unexpected reply */
  MLINK_BATTERY_LOW = -5,      /* the meter answered "BATERY_LO" to "BTRY" */
  MLINK_NOT_A_METER = -6,      /* "QPID" not answered with "LX40"; no meter found */
  MLINK_SENSOR_OR_MEMORY = -7, /* the reply "NO_SENSER" or "MEM_ERR" */
  MLINK_MODE_OR_NO_DATA = -10  /* the reply "MODE_ERR" or "WAVE_ERR"; a reading without data */
};

#endif
