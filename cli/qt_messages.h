#pragma once

namespace quorvel {

// Qt's messages in quorvel-cli: passed on as Qt prints them, but for one warning that says
// nothing about the command ("QStandardPaths: XDG_RUNTIME_DIR not set..."). A fatal one (Qt
// cannot go on, such as no platform plugin loaded for lack of memory) ends the program with
// the failure status instead of an abort. Installed once, before Qt is used.
void FilterQtMessages();

}  // namespace quorvel
