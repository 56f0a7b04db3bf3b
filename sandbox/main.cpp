// vendrix-sandbox: the vendor server, the platform gateway and its picture hosts on loopback.
// The first line on stdout is the base address it serves; SIGINT or SIGTERM stops it.
#include "sandbox/SandboxMain.h"

int main(int argc, char** argv) { return vendrix::sandbox::RunSandbox(argc, argv); }
