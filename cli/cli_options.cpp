#include "cli/cli_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"

namespace quorvel {

CliOptions::CliOptions(std::set<std::string> valueOptions, std::set<std::string> flags,
                       size_t maxPositional)
    : m_valueOptions(std::move(valueOptions)),
      m_flags(std::move(flags)),
      m_maxPositional(maxPositional) {}

bool CliOptions::Parse(const std::vector<std::string>& args, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      const std::string name = arg.substr(2);
      if (m_flags.count(name) != 0) {
        m_values.insert_or_assign(name, std::string(1, '1'));
      } else if (m_valueOptions.count(name) != 0) {
        if (i + 1 >= args.size()) {
          error->assign("option --").append(name).append(" needs a value");
          return false;
        }
        m_values[name] = args[++i];
      } else {
        error->assign("unknown option ").append(arg);
        return false;
      }
    } else {
      if (m_positional.size() >= m_maxPositional) {
        error->assign("unexpected argument ").append(arg);
        return false;
      }
      m_positional.push_back(arg);
    }
  }
  return true;
}

bool CliOptions::Has(const std::string& name) const {
  return m_values.count(name) != 0;
}

std::string CliOptions::Value(const std::string& name, const std::string& fallback) const {
  auto it = m_values.find(name);
  return it == m_values.end() ? fallback : it->second;
}

bool CliOptions::Number(const std::string& name, double fallback, double* value,
                        std::string* error) const {
  auto it = m_values.find(name);
  if (it == m_values.end()) {
    *value = fallback;
    return true;
  }
  const char* text = it->second.c_str();
  char* end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(parsed)) {
    error->assign("--").append(name).append(" is not a number: ").append(it->second);
    return false;
  }
  *value = parsed;
  return true;
}

int ArgumentError(const std::string& message, const char* usage) {
  std::fprintf(stderr, "quorvel-cli: %s\nusage: %s\n", message.c_str(), usage);
  return kExitBadArguments;
}

}  // namespace quorvel
