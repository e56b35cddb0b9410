#include "location_paths.h"

#include <cstring>

namespace usbhost_win32 {
namespace {

// Port numbers and root indices fit far fewer digits; anything longer is
// not a location this layer knows.
constexpr std::size_t kMaxDigits = 5;

// "<name>(<digits>)" at the start of `element`: the digits, or "".
std::string_view Number(std::string_view element, std::string_view name) {
  if (element.size() < name.size() + 3 || element.substr(0, name.size()) != name ||
      element[name.size()] != '(' || element.back() != ')') {
    return {};
  }
  const std::string_view digits = element.substr(name.size() + 1, element.size() - name.size() - 2);
  if (digits.empty() || digits.size() > kMaxDigits) return {};
  for (const char c : digits) {
    if (c < '0' || c > '9') return {};
  }
  return digits;
}

}  // namespace

std::string PortFromLocationPath(std::string_view location) {
  std::string root;
  std::string ports;
  bool inUsb = false;
  while (!location.empty()) {
    const std::size_t hash = location.find('#');
    const std::string_view element = location.substr(0, hash);
    location = hash == std::string_view::npos ? std::string_view{} : location.substr(hash + 1);
    if (!inUsb) {
      const std::string_view index = Number(element, "USBROOT");
      if (index.empty()) continue;  // the PCI part before the root hub
      root = std::to_string(std::stoul(std::string(index)) + 1);
      inUsb = true;
      continue;
    }
    const std::string_view port = Number(element, "USB");
    if (port.empty()) return {};  // something after the root hub that is no USB port
    if (!ports.empty()) ports += '.';
    ports += std::to_string(std::stoul(std::string(port)));
  }
  if (root.empty() || ports.empty()) return {};
  return root + "-" + ports;
}

std::string PortFromLocationList(const char* list, std::size_t size) {
  if (list == nullptr) return {};
  std::size_t at = 0;
  while (at < size) {
    const void* nul = std::memchr(list + at, '\0', size - at);
    const std::size_t end =
        nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - list);
    if (end == at) break;  // the empty string that ends the list
    const std::string port = PortFromLocationPath(std::string_view(list + at, end - at));
    if (!port.empty()) return port;
    at = end + 1;
  }
  return {};
}

}  // namespace usbhost_win32
