#include "formats/reply_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace meterlink {
namespace {

std::vector<std::string> Fields(const ReplyFields& fields) {
  std::vector<std::string> out;
  for (std::size_t n = 1; n <= fields.count(); ++n) out.emplace_back(*fields.Field(n));
  return out;
}

struct SplitCase {
  std::string_view reply;
  std::vector<std::string> expected;
};

class SplitReplyFieldsTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitReplyFieldsTest, SplitsAtColonsAndCommas) {
  const SplitCase& c = GetParam();
  const ReplyFields fields = SplitReplyFields(c.reply);
  EXPECT_EQ(Fields(fields), c.expected) << c.reply;
  EXPECT_FALSE(fields.truncated());
  EXPECT_FALSE(fields.Field(0).has_value());
  EXPECT_FALSE(fields.Field(c.expected.size() + 1).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitReplyFieldsTest,
    testing::Values(SplitCase{"+01310,ABS,OFF,AUTO,DB", {"+01310", "ABS", "OFF", "AUTO", "DB"}},
                    SplitCase{"VANTOR:LX40:A12345678:100", {"VANTOR", "LX40", "A12345678", "100"}},
                    SplitCase{"1310,+01.234", {"1310", "+01.234"}}, SplitCase{"OK", {"OK"}},
                    SplitCase{"", {}}, SplitCase{":", {}}, SplitCase{",:,::,", {}},
                    // Runs of separators count as one, leading and trailing ones vanish.
                    SplitCase{"::a,,b:,:c,", {"a", "b", "c"}}, SplitCase{",1310", {"1310"}},
                    // Everything but ":" and "," belongs to a field.
                    SplitCase{" a ; b ", {" a ; b "}}, SplitCase{"a\tb:c d", {"a\tb", "c d"}},
                    // The text ends at its first NUL.
                    SplitCase{std::string_view("a:b\0:c:d", 8), {"a", "b"}},
                    SplitCase{std::string_view("\0a:b", 4), {}}));

TEST(SplitReplyFieldsTest, FieldsAreViewsIntoTheReply) {
  const std::string reply = "x:yy";
  const ReplyFields fields = SplitReplyFields(reply);
  ASSERT_EQ(fields.count(), 2u);
  EXPECT_EQ(fields.Field(2)->data(), reply.data() + 2);
}

TEST(SplitReplyFieldsTest, CBufferStopsAtNulOrAtItsEnd) {
  // Exactly sized heap buffers without a terminator: the sanitizer build
  // reports any read past them.
  const std::string_view text = "a:b,c";
  auto unterminated = std::make_unique<char[]>(text.size());
  std::memcpy(unterminated.get(), text.data(), text.size());
  EXPECT_EQ(Fields(SplitReplyFields(unterminated.get(), text.size())),
            (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(Fields(SplitReplyFields(unterminated.get(), 3)), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitReplyFields(unterminated.get(), 0).count(), 0u);

  char buffer[100];
  std::memset(buffer, 'Z', sizeof buffer);
  std::memcpy(buffer, "OK\0STALE:OLD", 12);
  EXPECT_EQ(Fields(SplitReplyFields(buffer, sizeof buffer)), (std::vector<std::string>{"OK"}));

  EXPECT_EQ(SplitReplyFields(nullptr, 100).count(), 0u);
}

TEST(SplitReplyFieldsTest, MoreFieldsThanItHoldsAreDroppedAndFlagged) {
  std::string reply;
  for (std::size_t i = 0; i < kMaxReplyFields + 5; ++i) reply += std::to_string(i % 10) + ",";
  const ReplyFields fields = SplitReplyFields(reply);
  EXPECT_EQ(fields.count(), kMaxReplyFields);
  EXPECT_TRUE(fields.truncated());
  EXPECT_EQ(*fields.Field(kMaxReplyFields), std::to_string((kMaxReplyFields - 1) % 10));

  // A full 100-character buffer of one-character fields fits exactly.
  std::string full;
  for (std::size_t i = 0; i < 50; ++i) full += "7,";
  const ReplyFields all = SplitReplyFields(full);
  EXPECT_EQ(all.count(), 50u);
  EXPECT_FALSE(all.truncated());
}

}  // namespace
}  // namespace meterlink
