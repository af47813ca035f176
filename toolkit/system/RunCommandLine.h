#pragma once
#include <cstddef>
#include <cstdint>

// How a target handed to the system becomes a command line and a working directory.
constexpr char CommandQuote = '"';
// Bytes of the command-line block for `target`: its length plus room for two quotes and the
// terminator, with one to spare.
size_t RunCommandLineSize(const char* target);
// A target that starts with a quote is taken as it is (the caller quoted it, perhaps with
// arguments); any other is enclosed in quotes. `out` holds RunCommandLineSize(target) bytes.
void RunCommandLineBuild(const char* target, char* out);
// Length of the working directory the shell gets for a document: the target up to and
// including its last backslash, when that backslash is not the first byte; 0 = none.
int32_t RunWorkingDirectoryLength(const char* target);
