#pragma once

#include <string>

class QWidget;

// The chart folder browser: a modal folder chooser that opens on the current chart folder (the
// process's current folder when there is none), carries the given caption, shows the chosen
// folder's full path and returns it, or nothing when the user cancels. The window's
// IUserMessages::ChooseFolder calls it; the selection dialog reaches it only through
// IUserMessages, so tests script it.
//
// A symbolic link to a folder does not change the chosen folder: confirming while a link is
// selected returns the last plain folder that was selected (or the starting folder).

namespace quorvel {

// The caption the selection dialog asks for.
constexpr const char* kChartFolderCaption = "Folder where the Microphone Charts are located";

// Runs the chooser (Qt's own QFileDialog in directory mode, with "OK" and "Cancel" and no
// new-folder button) with owner as its parent. True with the chosen folder in *chosen when the
// user confirms. User-interface thread.
bool BrowseForFolder(QWidget* owner, const std::string& initialFolder, const std::string& caption,
                     std::string* chosen);

}  // namespace quorvel
