// A minimal host for talking to a VirtualMeter directly through its pipe
// endpoint, plus a sensor data table builder with the tests' own CRC.
#ifndef LX40_TESTS_VIRTUAL_METER_METER_HOST_H
#define LX40_TESTS_VIRTUAL_METER_METER_HOST_H

#include <cstdint>
#include <string>
#include <vector>

#include "meter/virtual_meter.h"

namespace meter_test {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Writes the bytes in one transfer.
inline bool Write(usbsim::VirtualMeter& meter, const Bytes& bytes) {
  return meter.OnHostWrite(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// Writes a command line (text + LF).
inline bool Command(usbsim::VirtualMeter& meter, const std::string& text) {
  return Write(meter, ToBytes(text + "\n"));
}

struct Reply {
  bool ok = true;              // every read succeeded
  Bytes bytes;                 // all blocks, in order
  std::vector<size_t> blocks;  // size of each non-empty block
};

// Reads blocks of `read_size` until a read succeeds with 0 bytes (at most
// `max_reads` reads, so a broken meter cannot hang the test).
inline Reply ReadReply(usbsim::VirtualMeter& meter, uint32_t read_size = 64, int max_reads = 1000) {
  Reply reply;
  std::vector<uint8_t> block(read_size == 0 ? 1 : read_size);
  for (int i = 0; i < max_reads; ++i) {
    uint32_t done = 0;
    if (!meter.OnHostRead(block.data(), read_size, &done)) {
      reply.ok = false;
      return reply;
    }
    if (done == 0) return reply;
    reply.blocks.push_back(done);
    reply.bytes.insert(reply.bytes.end(), block.begin(), block.begin() + done);
  }
  reply.ok = false;
  return reply;
}

inline std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Sends a command line and returns the whole reply as text.
inline std::string Ask(usbsim::VirtualMeter& meter, const std::string& command) {
  Command(meter, command);
  return Text(ReadReply(meter).bytes);
}

// Writes the bytes and returns the whole answer.
inline Bytes Exchange(usbsim::VirtualMeter& meter, const Bytes& bytes) {
  Write(meter, bytes);
  return ReadReply(meter).bytes;
}

// CRC-16 with polynomial 0x1021, initial 0xFFFF, no reflection, no final XOR,
// computed table-free and independently of the meter's.
inline uint16_t Crc16(const Bytes& data, size_t size) {
  uint32_t crc = 0xFFFF;
  for (size_t i = 0; i < size; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const uint32_t in = (data[i] >> bit) & 1u;
      const uint32_t top = (crc >> 15) & 1u;
      crc = (crc << 1) & 0xFFFF;
      if ((in ^ top) != 0) crc ^= 0x1021;
    }
  }
  return static_cast<uint16_t>(crc);
}

inline void PutU16(Bytes& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value >> 8);
  bytes[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

// Recomputes the trailer after a test changed the table on purpose.
inline void Reseal(Bytes& table) {
  PutU16(table, table.size() - 2, Crc16(table, table.size() - 2));
}

// A table of `records` records for `slot`, with a correct size field and CRC.
inline Bytes MakeTable(uint16_t slot, uint16_t records) {
  Bytes table(16 + 6u * records + 2, 0);
  PutU16(table, 0, static_cast<uint16_t>(table.size()));
  PutU16(table, 2, records);
  PutU16(table, 4, slot);
  PutU16(table, 6, 8012);
  for (int i = 0; i < 4; ++i)
    PutU16(table, 8 + 2 * static_cast<size_t>(i), static_cast<uint16_t>(400 + i));
  for (size_t r = 0; r < records; ++r) {
    const size_t at = 16 + 6 * r;
    PutU16(table, at, static_cast<uint16_t>(400 + r));
    // Coefficient bytes that include LF and CR, which must stay plain data.
    table[at + 2] = 0x3F;
    table[at + 3] = static_cast<uint8_t>(0x0A + r);
    table[at + 4] = 0x0D;
    table[at + 5] = static_cast<uint8_t>(r * 37);
  }
  Reseal(table);
  return table;
}

// What the meter answered during one load, step by step as the host sees it.
struct LoadAnswers {
  Bytes hosei;                     // answer to "HOSEI"
  Bytes echoes;                    // first byte of each header echo, in order
  Bytes header_ack;                // answer to the first 0x55
  std::vector<Bytes> record_acks;  // answer to the second 0x55 and to each record
  Bytes trailer_ack;               // answer to the trailer
};

// The conversation of one table load, exactly as the host holds it: HOSEI,
// 16 echoed header bytes, 0x55, 0x55, the records 6 bytes per write and the
// 2 trailer bytes, each transmission followed by reading its answer.
inline LoadAnswers LoadTable(usbsim::VirtualMeter& meter, const Bytes& table) {
  LoadAnswers answers;
  Command(meter, "HOSEI");
  answers.hosei = ReadReply(meter).bytes;
  for (size_t i = 0; i < 16; ++i) {
    const Bytes echo = Exchange(meter, Bytes{table[i]});
    answers.echoes.push_back(echo.empty() ? 0 : echo[0]);
  }
  answers.header_ack = Exchange(meter, Bytes{0x55});
  answers.record_acks.push_back(Exchange(meter, Bytes{0x55}));
  const size_t body_end = table.size() - 2;
  for (size_t at = 16; at + 6 <= body_end; at += 6) {
    answers.record_acks.push_back(Exchange(
        meter,
        Bytes(table.begin() + static_cast<long>(at), table.begin() + static_cast<long>(at + 6))));
  }
  answers.trailer_ack = Exchange(meter, Bytes(table.end() - 2, table.end()));
  return answers;
}

}  // namespace meter_test

#endif
