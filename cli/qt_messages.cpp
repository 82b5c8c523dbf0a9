#include "cli/qt_messages.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"

namespace quorvel {

namespace {

QtMessageHandler g_qtHandler = nullptr;

// Every QGuiApplication looks for a Flatpak marker in the runtime folder, and without
// XDG_RUNTIME_DIR (a login without a desktop session, a service, CI) it warns about the folder
// it takes instead. quorvel-cli keeps nothing there.
bool IsRuntimeFolderWarning(QtMsgType type, const QString& message) {
  return type == QtWarningMsg &&
         message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (IsRuntimeFolderWarning(type, message)) return;
  if (g_qtHandler != nullptr) {
    g_qtHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(message));
  }
  if (type == QtFatalMsg) {
    std::fflush(stdout);
    std::_Exit(kExitFailure);  // Qt would abort next
  }
}

}  // namespace

void FilterQtMessages() {
  g_qtHandler = qInstallMessageHandler(OnQtMessage);
}

}  // namespace quorvel
