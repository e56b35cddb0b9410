// The wizard's message for a Meterlink result code, as the wizard shows it
// and lx40 quotes it: one mapping for both programs.
#ifndef LX40_RESOURCES_WIZARD_MESSAGES_H
#define LX40_RESOURCES_WIZARD_MESSAGES_H

#include <cstdint>

// The string id (string_ids.h) of the wizard's message for `code`: the
// signal error for a failed transfer, a reply not understood, the meter's
// sensor or memory fault and a failed table handshake or a meter that
// stopped answering (the handle API's words for the wizard's failed load
// steps); the battery message for a low battery; 0 (no message) for success
// and every other code.
uint32_t WizardMessageId(int32_t code);

#endif
