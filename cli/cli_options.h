#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

// The options of one quorvel-cli command: "--name value" pairs, "--flag" switches and
// positional arguments, checked against what the command knows.
class CliOptions {
 public:
  CliOptions(std::set<std::string> valueOptions, std::set<std::string> flags, size_t maxPositional);

  // False (with the reason in *error) on an unknown option, a missing value or too many
  // positional arguments.
  bool Parse(const std::vector<std::string>& args, std::string* error);

  bool Has(const std::string& name) const;
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  // The option read as a finite number; false (with the reason) when it is not one.
  bool Number(const std::string& name, double fallback, double* value, std::string* error) const;
  const std::vector<std::string>& Positional() const { return m_positional; }

 private:
  std::set<std::string> m_valueOptions;
  std::set<std::string> m_flags;
  size_t m_maxPositional;
  std::map<std::string, std::string> m_values;
  std::vector<std::string> m_positional;
};

// Prints "quorvel-cli: <message>" and the usage line of the command to stderr; returns the
// bad-arguments exit status.
int ArgumentError(const std::string& message, const char* usage);

}  // namespace quorvel
