#include "listen_address.h"

#include <cctype>

namespace lx40::page {

namespace {

bool ParsePort(const std::string& text, uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

bool ParseListenAddress(const std::string& text, ListenAddress* address, std::string* error) {
  ListenAddress parsed;
  std::string port = text;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find("]:");
    if (close == std::string::npos || close == 1) {
      *error = "--http " + text + ": expected [IPV6]:PORT";
      return false;
    }
    parsed.host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    parsed.host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (parsed.host.empty() || parsed.host.find(':') != std::string::npos) {
      *error = "--http " + text + ": expected PORT or ADDRESS:PORT ([IPV6]:PORT)";
      return false;
    }
  }
  if (!ParsePort(port, &parsed.port)) {
    *error = "--http " + text + ": the port must be a number from 0 to 65535";
    return false;
  }
  *address = parsed;
  return true;
}

}  // namespace lx40::page
