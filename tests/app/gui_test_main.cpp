// The GUI tests' program: one QApplication (the offscreen platform unless QT_QPA_PLATFORM says
// otherwise) for every test, numbers written the C way as in the window's main().
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
  // Without a platform named (the build's listing of the tests), the offscreen one.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setOrganizationName("Velkar");
  QApplication::setApplicationName("Quorvel");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
