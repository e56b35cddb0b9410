// A usbhost implementation for tests whose every answer the test decides,
// byte for byte, including answers no real driver would give (lengths that
// lie, records cut short, names without terminators). It records what was
// asked so a test can see what the library did with a reply.
#ifndef LX40_TESTS_BULKPIPE_SCRIPTED_HOST_H
#define LX40_TESTS_BULKPIPE_SCRIPTED_HOST_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "usbhost.h"

namespace scripted {

struct IoctlCall {
  std::string path;  // of the handle the request went to
  uint32_t code = 0;
  std::vector<uint8_t> in;
  uint32_t out_size = 0;
};

struct IoctlReply {
  bool ok = false;
  std::vector<uint8_t> bytes;  // copied to the caller's buffer, cut at its size
  int64_t returned = -1;       // what *returned says; -1: the bytes copied
};

struct Host {
  // Which paths open. Default: none.
  std::function<bool(const std::string& path)> opens;
  std::function<IoctlReply(const IoctlCall& call)> ioctl;
  // The interface path at a position, or false.
  std::function<bool(int32_t position, std::string* path)> interface_path;

  std::vector<std::string> open_attempts;  // every path asked for, in order
  std::vector<IoctlCall> calls;
  std::map<usbhost_handle, std::string> open_handles;
  usbhost_handle next_handle = 4;
  bool record_calls = true;
};

// The one host the usbhost functions of this test program answer from.
Host& TheHost();
// Forgets every rule and record.
void ResetHost();

}  // namespace scripted

#endif
