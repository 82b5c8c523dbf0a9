#pragma once

namespace quorvel {

// Standard output of quorvel-cli, whose lines are results as much as its files are: a write
// that fails (a full disk, a pipe whose reader has gone) is a failure of the command.

// Into a file or a pipe, standard output is kept in memory until the end (every command prints
// its lines when it has its result), so that a failed write is known with its reason.
void HoldStandardOutput();

// The command's exit status once standard output is written out: kExitFailure, after a line on
// standard error that says why, when it could not be written whole; kExitFailure too when
// standard error failed (with nowhere to say so). A failure or refusal already in `status`
// stays.
[[nodiscard]] int EndStandardOutput(int status);

}  // namespace quorvel
