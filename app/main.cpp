// quorvel: the loudspeaker measurement window.
#include <QApplication>
#include <clocale>
#include <csignal>

#include "app/quorvel_app.h"
#include "control/settings/settings_file.h"

int main(int argc, char** argv) {
  // A save beyond the file size limit, or into a pipe whose reader has gone, fails with its
  // message instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  QApplication application(argc, argv);
  // QApplication sets the C library's locale from the environment; every number Quorvel reads
  // or writes (files, tags, preferences, labels) is written the C way, whatever the language.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setOrganizationName(quorvel::kOrganizationName);
  QApplication::setApplicationName(quorvel::kApplicationName);
  QApplication::setDesktopFileName("quorvel");
  quorvel::CQuorvelApp app;
  return app.Run();
}
