// Where the station page listens: --http [ADDRESS:]PORT. Without an
// address only this computer's loopback (127.0.0.1) is listened on;
// another address is taken only when it is given.
#ifndef LX40_LX40_PAGE_LISTEN_ADDRESS_H
#define LX40_LX40_PAGE_LISTEN_ADDRESS_H

#include <cstdint>
#include <string>

namespace lx40::page {

struct ListenAddress {
  std::string host = "127.0.0.1";  // a numeric IPv4 or IPv6 address
  uint16_t port = 0;               // 0: one the system picks
};

// Parses "PORT", "ADDRESS:PORT" or "[IPV6]:PORT". False with *error set
// when the text is none of these.
bool ParseListenAddress(const std::string& text, ListenAddress* address, std::string* error);

}  // namespace lx40::page

#endif
