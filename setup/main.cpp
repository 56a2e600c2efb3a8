// setup's entry point; everything it does is setup::RunSetup.
#include "program.h"

int main(int argc, char** argv) { return setup::RunSetup(argc, argv); }
