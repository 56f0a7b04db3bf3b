// vendrix-cli: the shop finder's operations from a terminal, for scripting and diagnosis.
#include "cli/Cli.h"

int main(int argc, char** argv) { return vendrix::RunCli(argc, argv); }
