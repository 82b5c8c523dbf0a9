#pragma once

// A locale that writes "1,5" for one and a half (de_DE.UTF-8), for the tests that numbers in
// files, tags, preferences and labels never follow the user's locale. It is generated with
// localedef into the build tree (QUORVEL_TEST_LOCALE_DIR, found through LOCPATH), so it needs
// neither root nor a locale installed on the machine, only the locale sources of the Debian
// package "locales" (scripts/install-deps installs it).
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace quorvel::testlocale {

inline constexpr char kDecimalCommaLocale[] = "de_DE.UTF-8";

// Whether localedef and the sources of de_DE are there at all.
inline bool CanGenerate() {
  return std::filesystem::exists("/usr/share/i18n/locales/de_DE") &&
         std::system("command -v localedef > /dev/null 2>&1") == 0;
}

// The folder to name in LOCPATH, generated on first use (by this process or an earlier one); empty,
// with the reason in *why, when the locale cannot be made.
inline std::string DecimalCommaLocaleFolder(std::string* why) {
  namespace fs = std::filesystem;
  const fs::path folder = QUORVEL_TEST_LOCALE_DIR;
  const fs::path target = folder / kDecimalCommaLocale;
  std::error_code ec;
  if (fs::exists(target / "LC_NUMERIC", ec)) return folder.string();
  if (!CanGenerate()) {
    *why = "localedef or the de_DE locale sources are missing (Debian package \"locales\")";
    return std::string();
  }
  // Generated aside and moved into place whole, so a test running meanwhile never sees half a
  // locale.
  const fs::path scratch = folder / ("generating." + std::to_string(::getpid()));
  fs::create_directories(scratch, ec);
  const std::string command = "localedef -i de_DE -f UTF-8 '" +
                              (scratch / kDecimalCommaLocale).string() + "' > /dev/null 2>&1";
  static_cast<void>(std::system(command.c_str()));
  fs::rename(scratch / kDecimalCommaLocale, target, ec);  // another process may have won
  fs::remove_all(scratch, ec);
  if (!fs::exists(target / "LC_NUMERIC")) {
    *why = "localedef could not generate " + target.string();
    return std::string();
  }
  return folder.string();
}

// The environment prefix that runs a program in the decimal-comma locale.
inline std::string DecimalCommaEnvironment(const std::string& folder) {
  return "LOCPATH='" + folder + "' LC_ALL=" + kDecimalCommaLocale + " LANG=" + kDecimalCommaLocale;
}

// Switches this process to the decimal-comma locale for its lifetime, and back to "C" after.
class CScopedDecimalComma {
 public:
  CScopedDecimalComma() {
    const std::string folder = DecimalCommaLocaleFolder(&m_why);
    if (folder.empty()) return;
    setenv("LOCPATH", folder.c_str(), 1);
    if (std::setlocale(LC_ALL, kDecimalCommaLocale) == nullptr) {
      m_why = std::string("setlocale refused ") + kDecimalCommaLocale;
      return;
    }
    // The locale really writes a decimal comma, so the test has something to withstand.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    if (std::string(probe) != "1,5") {
      m_why = std::string(kDecimalCommaLocale) + " writes 1.5 as " + probe;
      std::setlocale(LC_ALL, "C");
      return;
    }
    m_active = true;
  }
  ~CScopedDecimalComma() { std::setlocale(LC_ALL, "C"); }
  CScopedDecimalComma(const CScopedDecimalComma&) = delete;
  CScopedDecimalComma& operator=(const CScopedDecimalComma&) = delete;

  bool Active() const { return m_active; }
  // Why the locale is not active: a missing package is a reason to skip; anything else fails.
  const std::string& Why() const { return m_why; }
  static bool Available() { return CanGenerate(); }

 private:
  bool m_active = false;
  std::string m_why;
};

}  // namespace quorvel::testlocale

// At the start of a test: switches to the decimal-comma locale, skips the test when the
// machine cannot make one, and fails it when making one went wrong.
#define QUORVEL_IN_DECIMAL_COMMA_LOCALE(scope)                      \
  ::quorvel::testlocale::CScopedDecimalComma scope;                 \
  if (!scope.Active()) {                                            \
    if (!::quorvel::testlocale::CScopedDecimalComma::Available()) { \
      GTEST_SKIP() << scope.Why();                                  \
    }                                                               \
    FAIL() << scope.Why();                                          \
  }
