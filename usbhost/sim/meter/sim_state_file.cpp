#include "meter/sim_state_file.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <nlohmann/json.hpp>

#include "bus/sim_bus.h"
#include "meter/meter_crc.h"
#include "meter/sim_line.h"

namespace usbsim {

namespace {

std::mutex g_stateMutex;
std::vector<AttachedMeter>* g_stateMeters = nullptr;  // kept until exit
std::string* g_statePath = nullptr;

std::string Hex(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

void WriteStateNow() {
  // The line changes nothing while the state is taken, nor after.
  HaltLine();
  std::lock_guard lock(g_stateMutex);
  if (g_statePath == nullptr || g_stateMeters == nullptr) return;
  const std::string text = SimStateJson(*g_stateMeters);
  if (std::FILE* file = std::fopen(g_statePath->c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  } else {
    std::fprintf(stderr, "lx40sim: the state file %s cannot be written\n", g_statePath->c_str());
  }
}

}  // namespace

std::string SimStateJson(const std::vector<AttachedMeter>& meters) {
  nlohmann::ordered_json state;
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const AttachedMeter& attached : meters) {
    if (!attached.meter) continue;
    const VirtualMeter& meter = *attached.meter;
    nlohmann::ordered_json entry;
    entry["serial"] = meter.Config().serial;
    const DeviceId on_line = LineDeviceOf(&meter);
    entry["plugged"] = (attached.device != 0 && Bus::Instance().IsPlugged(attached.device)) ||
                       (on_line != 0 && Bus::Instance().IsPlugged(on_line));
    entry["exchanges"] = meter.ExchangeCount();
    entry["load_in_progress"] = meter.LoadInProgress();
    std::string slots;
    nlohmann::ordered_json stored = nlohmann::ordered_json::array();
    for (int slot = 0; slot < kMeterSlotCount; ++slot) {
      slots.push_back(meter.SlotFilled(slot) ? '1' : '0');
      if (const auto content = meter.SlotContent(slot)) {
        char crc[8];
        // The CRC the table carries: over everything before its trailer.
        const size_t covered = content->size() >= 2 ? content->size() - 2 : 0;
        std::snprintf(crc, sizeof crc, "%04X",
                      static_cast<unsigned>(MeterCrc(content->data(), covered)));
        nlohmann::ordered_json table;
        table["slot"] = slot;
        table["size"] = content->size();
        table["crc"] = crc;
        table["bytes"] = Hex(*content);
        stored.push_back(std::move(table));
      }
    }
    entry["slots"] = slots;
    entry["stored"] = std::move(stored);
    list.push_back(std::move(entry));
  }
  state["meters"] = std::move(list);
  state["open_handles"] = Bus::Instance().OpenHandleCount();
  return state.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

void WriteSimStateAtExit(std::vector<AttachedMeter> meters) {
  const char* path = std::getenv("LX40_SIM_STATE");
  if (path == nullptr || *path == '\0') return;
  std::lock_guard lock(g_stateMutex);
  if (g_statePath != nullptr) return;  // once per process
  // Never freed: the writer runs while the process exits.
  g_statePath = new std::string(path);
  g_stateMeters = new std::vector<AttachedMeter>(std::move(meters));
  std::atexit(WriteStateNow);
}

}  // namespace usbsim
