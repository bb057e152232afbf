// Factory values of the settings the batch commands read. Registered values answer only for
// keys the user never set.
#pragma once

namespace sw {

// Registers them with the shared settings store; safe to call more than once.
void registerBatchDefaults();

}  // namespace sw
