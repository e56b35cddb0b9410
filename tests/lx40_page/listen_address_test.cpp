#include "listen_address.h"

#include <gtest/gtest.h>

namespace lx40::page {
namespace {

TEST(ListenAddress, LoopbackUnlessAnAddressIsGiven) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"8040", true, "127.0.0.1", 8040},
      {"0", true, "127.0.0.1", 0},
      {"0.0.0.0:8040", true, "0.0.0.0", 8040},
      {"192.168.1.5:80", true, "192.168.1.5", 80},
      {"[::1]:8040", true, "::1", 8040},
      {"[::]:1", true, "::", 1},
      {"65535", true, "127.0.0.1", 65535},
      {"65536", false, "", 0},
      {"", false, "", 0},
      {"-1", false, "", 0},
      {"80a", false, "", 0},
      {":80", false, "", 0},
      {"host:", false, "", 0},
      {"::1:80", false, "", 0},
      {"[]:80", false, "", 0},
      {"[::1]80", false, "", 0},
      {"000008040", false, "", 0},
  };
  for (const Case& c : cases) {
    ListenAddress address;
    std::string error;
    EXPECT_EQ(ParseListenAddress(c.text, &address, &error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(address.host, c.host) << c.text;
      EXPECT_EQ(address.port, c.port) << c.text;
    } else {
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
    }
  }
}

}  // namespace
}  // namespace lx40::page
