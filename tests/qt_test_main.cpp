// The main() of the test programs that draw or show with Qt: one application object for all of
// their tests -- a QApplication where the program links Qt Widgets, else a QGuiApplication --
// made as the executables' main() makes theirs: on the offscreen platform unless
// QT_QPA_PLATFORM names another, named as the window names itself, numbers written the C way.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "control/settings/settings_file.h"

#ifdef QT_WIDGETS_LIB
#include <QApplication>
using Application = QApplication;
#else
#include <QGuiApplication>
using Application = QGuiApplication;
#endif

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application application(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  Application::setOrganizationName(quorvel::kOrganizationName);
  Application::setApplicationName(quorvel::kApplicationName);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
