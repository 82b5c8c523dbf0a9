#pragma once

// Running quorvel-cli as a program from the cli tests.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace quorvel {

// How a run of the program ended.
struct CliOutcome {
  int status = -1;     // exit status; -1 when it did not exit normally
  std::string output;  // standard output and standard error together
};

// The text in single quotes for the shell.
inline std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs `quorvel-cli arguments` through the shell, after `prefix` (shell commands such as a
// ulimit, or nothing).
inline CliOutcome RunCli(const std::string& arguments, const std::string& prefix = "") {
  CliOutcome result;
  const std::string command =
      prefix + " " + ShellQuote(QUORVEL_CLI_PATH) + " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace quorvel
