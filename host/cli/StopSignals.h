#pragma once
// A run that lasts until the user stops it: SIGINT, SIGTERM and SIGHUP set a flag that the
// main thread polls, instead of ending the process, so that it can close its connections and
// say what it saw. A signal that was ignored when the process started stays ignored.

namespace zr::cli {

// [main thread] Replaces the handlers of those signals for the rest of the process.
void catchStopSignals();
// Whether one of those signals came since catchStopSignals.
bool stopRequested();

} // namespace zr::cli
