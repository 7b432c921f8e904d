#include "tests/shell/nyrarun.h"

#include <sys/wait.h>

#include <cstdio>

const std::string& binaryDir() {
  static const std::string dir = std::string(NYRA_BINARY_DIR) + "/bin/";
  return dir;
}

const std::string& nyraBinary() {
  static const std::string nyra = binaryDir() + "nyra";
  return nyra;
}

Outcome run(const std::string& command) {
  Outcome o;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return o;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) o.output += buffer;
  int status = pclose(pipe);
  if (WIFEXITED(status)) o.exitCode = WEXITSTATUS(status);
  return o;
}
