#pragma once

// The program's message texts, each written once: every layer that reports a failure or a
// warning takes its words from here, and only the front ends show them.
namespace quorvel {

// ---- microphone calibration charts ----
// A chart that cannot be used: no chart file, one without a point, or one whose resampled
// levels lie beyond +-60 dB.
inline constexpr char kMsgChartNotValid[] =
    "The response curve of the selected microphone is not valid";

// ---- files ----
// A file (a picture, a curve, a response's export) that could not be written; the path and the
// system's reason follow on a second line.
inline constexpr char kMsgCannotSaveFile[] = "Cannot save the file to disk...";
// The curve's picture could not be copied into the form a BMP file is written from; shown with
// kCaptionError before the save's failure.
inline constexpr char kMsgCannotCopyImage[] = "Could not copy image bitmap";
inline constexpr char kCaptionError[] = "ERROR";
// A save, an analysis or a response asked for when no measurement has been made or loaded.
inline constexpr char kMsgNoNewCapture[] = "No new capture performed";
// The settings file could not be written; the reason follows on the next line.
inline constexpr char kMsgPreferences[] = "Could not Write to the Preferences File";

// ---- the measurement run ----
// Opening the devices and starting the threads of a measurement.
inline constexpr char kMsgInvalidInput[] = "Not a valid Audio Input peripheral";
inline constexpr char kMsgCannotOpenInput[] = "Could Not Open this Audio Input Device: \n%s";
inline constexpr char kMsgInputThread[] = "Sorry, the Audio Input thread could not be started...";
inline constexpr char kMsgCannotOpenOutput[] = "Could Not Open the Audio Output Device: ";
inline constexpr char kMsgPlayThread[] = "Could not start Audio play thread";
// Failures the window only shows as a curve that stops growing; the headless front end and the
// window's watchdog report them with these texts.
inline constexpr char kMsgInputStopped[] = "The Audio Input stopped during the measurement: \n%s";
inline constexpr char kMsgOutputStopped[] = "The Audio Output stopped during the measurement";
inline constexpr char kMsgNoSync[] =
    "No sync burst was heard: check the loudspeaker and the microphone";
inline constexpr char kMsgNotComplete[] = "The measurement did not complete in time";
// The start of a measurement waits for the input to deliver and for the output to play, each
// at most 10 s; a sweep with a dropout, and a clipped input, are reported.
inline constexpr char kMsgInputSilent[] =
    "The Audio Input \"%s\" delivered nothing within 10 s: check that the device is connected and "
    "that no other program holds it";
inline constexpr char kMsgOutputNotStarted[] =
    "The Audio Output \"%s\" did not start playing within 10 s: check that the device is "
    "connected and that no other program holds it";
inline constexpr char kMsgDropout[] =
    "The measurement was interrupted by a dropout during the sweep: %s. Measure again";
inline constexpr char kMsgWaitInput[] = "waiting for the Audio Input \"%s\" to deliver...";
inline constexpr char kMsgWaitOutput[] = "waiting for the Audio Output \"%s\" to start...";

// ---- the warnings a finished curve carries ----
constexpr char kMsgInputClipped[] =
    "The Audio Input clipped during the sweep (%d of 1001 points at full scale): lower the input "
    "gain and measure again";
// The input reached full scale as the device delivered it, before the capture gain.
constexpr char kMsgInputClippedBeforeGain[] =
    "The Audio Input clipped during the sweep (%d of 1001 points at full scale): lower the level "
    "of the input device or of the signal feeding it and measure again";
// Another program's stream played to the output while the sweep played: with the programs'
// names in parentheses after "measurement" when the server names them.
constexpr char kMsgOtherProgram[] =
    "Another program played to the Audio Output during the measurement: its sound is in the "
    "curve. Stop it and measure again";
// A device that runs at another rate than the sweep's 48000 Hz: the server resamples to and from
// it, and the top of the curve shows the resampler's filter. (On PipeWire its graph's rate
// follows "resamples".)
// The impulse-response analysis of the window ran out of memory.
constexpr char kMsgNoMemoryForResponse[] =
    "Not enough memory to analyse the impulse response of this recording";
constexpr char kMsgResampled[] = "%s: the server resamples%s. Set %s to 48000 Hz and measure again";

// ---- the workbench's session ----
// A completed measurement or replay whose capture or session.json could not be written into
// the session folder; the path and the reason follow on a line of their own.
constexpr char kMsgNotKept[] =
    "This measurement could not be kept in the session folder: it stays in memory until the next "
    "measurement, and Save Audio File can still save it";
}  // namespace quorvel
