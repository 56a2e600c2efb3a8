// PELLAM_PRIVATE marks the few internal functions that libpellam.so offers the
// project's own programs (the service, pellqueue) under the version node
// PELLAM_PRIVATE_1 of exports.map. No installed header declares them: other programs
// cannot rely on them, and a change to one means a new node, not a silent break.
#pragma once

#define PELLAM_PRIVATE __attribute__((visibility("default")))
