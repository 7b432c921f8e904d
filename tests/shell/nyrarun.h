#pragma once
// Running the nyra executable (and the tools beside it) as a user would, from a shell.
#include <string>

const std::string& nyraBinary(); // the build's bin/nyra
const std::string& binaryDir();  // the build's bin/

struct Outcome {
  int exitCode = -1;   // -1 when it did not exit by itself
  std::string output;  // standard output and error together
};

// Runs `command` through sh, with standard error joined to standard output.
Outcome run(const std::string& command);
