// The handle API's exchanges: text commands, raw transfers, the battery and
// the sensor data slots.
#include <cstring>

#include "exchange.h"
#include "meter_handle.h"
#include "mlink.h"

using namespace meterlink;

namespace {

constexpr uint32_t kCommandFlags = MLINK_COMMAND_NO_BATTERY_CHECK | MLINK_COMMAND_NO_REPLY;

// 1 to 100 printable characters: the frame cannot carry anything else.
bool IsCommandText(const char* command) {
  const std::size_t length = strnlen(command, kMaxCommandLength + 1);
  if (length == 0 || length > kMaxCommandLength) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(command[i]);
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// The reply text into the caller's buffer when it fits with its NUL.
bool CopyReply(const char* text, char* reply, std::size_t size) {
  const std::size_t length = strnlen(text, kReplyTextSize);
  if (length >= size) return false;
  std::memcpy(reply, text, length);
  reply[length] = '\0';
  return true;
}

}  // namespace

extern "C" MLINK_API int32_t MLINK_CALL mlink_command(mlink_meter* meter, const char* command,
                                                      char* reply, size_t reply_size,
                                                      uint32_t flags) {
  const bool wantsReply = (flags & MLINK_COMMAND_NO_REPLY) == 0;
  const auto check = [&]() -> int32_t {
    if (command == nullptr || (flags & ~kCommandFlags) != 0) return MLINK_BAD_ARGUMENT;
    if (wantsReply && (reply == nullptr || reply_size == 0)) return MLINK_BAD_ARGUMENT;
    if (wantsReply) reply[0] = '\0';
    return IsCommandText(command) ? MLINK_OK : MLINK_BAD_ARGUMENT;
  };
  return OnFreeMeter(meter, check, [&](MeterHandle& handle) -> int32_t {
    Meter& link = handle.link;
    const bool checkBattery = (flags & MLINK_COMMAND_NO_BATTERY_CHECK) == 0;
    if (!wantsReply) {
      if (checkBattery) {
        const int32_t battery = CheckBattery(link);
        if (battery != MLINK_OK) return battery;
      }
      return link.SendText(command);
    }
    // The reply lands in a buffer of its own, so a reply without CR leaves
    // "" rather than the battery check's reply.
    char text[kReplyTextSize] = {};
    const int32_t result = SendMeterCommand(link, command, text, checkBattery ? 0 : 1);
    if (!CopyReply(text, reply, reply_size)) {
      reply[0] = '\0';
      if (result == MLINK_OK) return MLINK_ERR_BUFFER_TOO_SMALL;
    }
    return result;
  });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_send(mlink_meter* meter, const void* data,
                                                   size_t size) {
  const auto check = [&]() -> int32_t {
    return data == nullptr || size == 0 || size > MLINK_MAX_SEND ? MLINK_BAD_ARGUMENT : MLINK_OK;
  };
  return OnFreeMeter(meter, check, [&](MeterHandle& handle) -> int32_t {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return handle.link.WriteRaw(bytes, static_cast<uint32_t>(size)) == MLINK_OK
               ? MLINK_OK
               : MLINK_TRANSPORT_FAILED;
  });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_receive(mlink_meter* meter, void* buffer, size_t size,
                                                      size_t* received) {
  const auto check = [&]() -> int32_t {
    if (received == nullptr || (buffer == nullptr && size != 0)) return MLINK_BAD_ARGUMENT;
    *received = 0;
    return MLINK_OK;
  };
  return OnFreeMeter(meter, check, [&](MeterHandle& handle) -> int32_t {
    std::size_t total = 0;
    if (handle.link.ReceiveWhole(static_cast<uint8_t*>(buffer), size, &total) != MLINK_OK) {
      return MLINK_TRANSPORT_FAILED;
    }
    *received = total;
    return total > size ? MLINK_ERR_BUFFER_TOO_SMALL : MLINK_OK;
  });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_battery(mlink_meter* meter, int32_t* ok) {
  const auto check = [&]() -> int32_t { return ok == nullptr ? MLINK_BAD_ARGUMENT : MLINK_OK; };
  return OnFreeMeter(meter, check, [&](MeterHandle& handle) -> int32_t {
    const int32_t result = CheckBattery(handle.link);
    if (result == MLINK_OK || result == MLINK_BATTERY_LOW) {
      *ok = result == MLINK_OK ? 1 : 0;
      return MLINK_OK;
    }
    return result;
  });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_slots(mlink_meter* meter, uint8_t* slots,
                                                    size_t slot_count) {
  const auto check = [&]() -> int32_t {
    if (slots == nullptr) return MLINK_BAD_ARGUMENT;
    return slot_count < MLINK_SLOT_COUNT ? MLINK_ERR_BUFFER_TOO_SMALL : MLINK_OK;
  };
  return OnFreeMeter(meter, check, [&](MeterHandle& handle) -> int32_t {
    char text[kReplyTextSize] = {};
    const int32_t result = SendMeterCommand(handle.link, "TEST", text, 0);
    if (result != MLINK_OK) return result;
    // "TEST:" and one digit per slot, '0' for an empty one.
    const char* colon =
        static_cast<const char*>(std::memchr(text, ':', strnlen(text, sizeof text)));
    if (colon == nullptr || strnlen(colon + 1, MLINK_SLOT_COUNT) < MLINK_SLOT_COUNT) {
      return MLINK_NOT_RECOGNISED;
    }
    uint8_t filled[MLINK_SLOT_COUNT];
    for (int i = 0; i < MLINK_SLOT_COUNT; ++i) {
      const char digit = colon[1 + i];
      if (digit < '0' || digit > '9') return MLINK_NOT_RECOGNISED;
      filled[i] = digit == '0' ? 0 : 1;
    }
    std::memcpy(slots, filled, sizeof filled);
    return MLINK_OK;
  });
}
