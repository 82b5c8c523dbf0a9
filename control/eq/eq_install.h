#pragma once
// "Install for PipeWire": the equaliser's drop-in written into the user's PipeWire
// configuration, never over a file another program (or the user) wrote there.
#include <string>

#include "base/result.h"
#include "eq/eq_fit.h"

namespace quorvel {

// The command that makes an installed drop-in active.
inline constexpr char kPipeWireRestartCommand[] =
    "systemctl --user restart pipewire pipewire-pulse";

// $XDG_CONFIG_HOME/pipewire/pipewire.conf.d (an absolute XDG_CONFIG_HOME), else
// $HOME/.config/pipewire/pipewire.conf.d; empty when neither is set.
[[nodiscard]] std::string PipeWireDropInFolder();

// The drop-in's file name for the equaliser `name`: "quorvel-eq-" and the sink name's part
// after "quorvel_eq." ("Living room" -> "quorvel-eq-living_room.conf").
[[nodiscard]] std::string PipeWireDropInFileName(const std::string& name);

// What is at the place the drop-in would go.
enum class DropInPlace {
  kFree,     // nothing: a new file
  kOurs,     // a drop-in Quorvel wrote (its first line says so): it may be replaced
  kForeign,  // anything else (another program's file, a folder, a file that cannot be read)
};
[[nodiscard]] DropInPlace CheckDropInPlace(const std::string& path);

// The question asked before installing, naming the file and whether it replaces Quorvel's own.
[[nodiscard]] std::string InstallQuestion(const std::string& path, DropInPlace place);

// Writes the drop-in of `set` for `name` to folder/PipeWireDropInFileName(name), making the
// folder when missing, whole or not at all; refuses a place that is kForeign. The message that
// says how to make it active, or the reason it was not written.
[[nodiscard]] Result<std::string> InstallPipeWireDropIn(const std::string& folder,
                                                        const EqFilterSet& set,
                                                        const std::string& name);

}  // namespace quorvel
