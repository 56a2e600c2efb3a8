// pellam, the Pellam service; everything it does is ServiceMain.
#include "daemon.h"

int main(int argc, char** argv) { return pellam::service::ServiceMain(argc, argv); }
