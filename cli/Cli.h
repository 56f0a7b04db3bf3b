// The commands of vendrix-cli. Output is UTF-8 on stdout, errors on stderr; the result is the
// exit status: 0 success, 1 the operation failed or found nothing, 2 bad usage.
#pragma once

namespace vendrix {

int RunCli(int argc, char** argv);

}  // namespace vendrix
