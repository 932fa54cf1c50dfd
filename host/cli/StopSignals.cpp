#include "host/cli/StopSignals.h"

#include <csignal>

#include "host/cli/SignalHandlers.h"

namespace zr::cli {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void noteStop(int signal) { stopSignal = signal; }

} // namespace

void catchStopSignals() { handleUnlessIgnored(kStopSignals, noteStop); }

bool stopRequested() { return stopSignal != 0; }

} // namespace zr::cli
