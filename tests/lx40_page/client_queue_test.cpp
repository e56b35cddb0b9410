// A client too far behind is found out (Push fails) at either bound, and
// what it holds is sent in order.
#include "client_queue.h"

#include <gtest/gtest.h>

namespace lx40::page {
namespace {

std::shared_ptr<const std::string> Message(size_t size, char c = 'm') {
  return std::make_shared<const std::string>(size, c);
}

TEST(ClientQueue, RefusesBeyondItsBytesOrMessagesAndSendsInOrder) {
  struct Case {
    const char* name;
    size_t max_bytes;
    size_t max_messages;
    size_t message_size;
    size_t fit;
  } cases[] = {
      {"bytes", 100, 1000, 30, 3},
      {"messages", 1000000, 4, 10, 4},
      {"one exact", 10, 10, 10, 1},
  };
  for (const Case& c : cases) {
    ClientQueue queue(c.max_bytes, c.max_messages);
    for (size_t i = 0; i < c.fit; ++i) {
      EXPECT_TRUE(queue.Push(Message(c.message_size, static_cast<char>('a' + i)))) << c.name;
    }
    EXPECT_FALSE(queue.Push(Message(c.message_size))) << c.name;
    EXPECT_EQ(queue.Bytes(), c.fit * c.message_size) << c.name;
    // Sending frees room again, oldest first.
    EXPECT_EQ(queue.Front()->front(), 'a') << c.name;
    queue.Pop();
    EXPECT_TRUE(queue.Push(Message(c.message_size))) << c.name;
    if (c.fit > 1) {
      EXPECT_EQ(queue.Front()->front(), 'b') << c.name;
    }
  }
}

TEST(ClientQueue, TheDefaultsHoldMinutesOfABusyLine) {
  ClientQueue queue;
  // A done event with its record is about 1.2 KB.
  for (int i = 0; i < 400; ++i) ASSERT_TRUE(queue.Push(Message(1200))) << i;
  size_t pushed = 400;
  while (queue.Push(Message(1200))) ++pushed;
  EXPECT_LT(pushed * 1200, kClientQueueBytes + 1200);
}

}  // namespace
}  // namespace lx40::page
