// PLATFORM_API marks what libpellamplatform.so offers the programs and libraries that
// link it; everything else in the layer is compiled hidden. The fault-injection hooks
// (fault.h) are deliberately unmarked: only test programs, which link the layer
// statically, reach them, and they are no part of the installed interface.
#pragma once

#define PLATFORM_API __attribute__((visibility("default")))
