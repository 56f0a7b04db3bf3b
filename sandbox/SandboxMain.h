// The command line of vendrix-sandbox: options, start, the base address on stdout, and a
// clean stop on SIGINT or SIGTERM. Exit status 2 on bad usage, 1 when it cannot start.
#pragma once

namespace vendrix::sandbox {

int RunSandbox(int argc, char** argv);

}  // namespace vendrix::sandbox
