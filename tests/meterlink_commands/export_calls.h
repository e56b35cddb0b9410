// Every meter command export in each of its modes, as a call on Records,
// with the command text it sends for Records::Make()'s values.
#ifndef LX40_TESTS_METERLINK_COMMANDS_EXPORT_CALLS_H
#define LX40_TESTS_METERLINK_COMMANDS_EXPORT_CALLS_H

#include <vector>

#include "commands_fixture.h"

namespace cmdtest {

std::vector<ExportCall> AllExportCalls();
// The calls that send a record's content or read a reply into a record;
// `replyForSuccess` is a reply each accepts.
struct QueryCall {
  ExportCall call;
  const char* replyForSuccess;
};
std::vector<QueryCall> AllCallsWithGoodReplies();

}  // namespace cmdtest

#endif
