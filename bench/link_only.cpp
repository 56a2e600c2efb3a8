// A program that does nothing but link libpellam.so: what starting any client of the
// library costs before it does any work. It names one export so that the linker
// keeps the library (--as-needed), and never calls it.
#include "pellam.h"

int main(int argc, char**) { return argc > 1000 && FreeMem(nullptr) != nullptr; }
