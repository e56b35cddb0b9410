// The process-wide state of the command exchange: the selected meter's pipes
// and the shared command and reply text buffers.
#include "meterlink/exchange.h"

namespace meterlink {
namespace {

PipePair g_currentPipes;  // "none" at load
char g_commandText[kCommandTextSize];
char g_replyText[kReplyTextSize];

}  // namespace

void SetCurrentPipes(PipePair pipes) { g_currentPipes = pipes; }

void ClearCurrentPipes() { g_currentPipes = PipePair{}; }

PipePair CurrentPipes() { return g_currentPipes; }

char* CommandText() { return g_commandText; }

char* ReplyText() { return g_replyText; }

}  // namespace meterlink
