#include "host/cli/Messages.h"

#include <cstdarg>
#include <cstdio>

namespace zr::cli {
namespace {

Verbosity current = Verbosity::Normal;
bool stdoutForResults = false;

void say(char const* format, va_list arguments) {
    FILE* const stream = stdoutForResults ? stderr : stdout;
    std::vfprintf(stream, format, arguments);
    std::fputc('\n', stream);
}

} // namespace

void setVerbosity(Verbosity verbosity) {
    current = verbosity;
}

Verbosity verbosity() {
    return current;
}

void keepStdoutForResults() {
    stdoutForResults = true;
}

void report(char const* format, ...) {
    if (current == Verbosity::Quiet)
        return;
    va_list arguments;
    va_start(arguments, format);
    say(format, arguments);
    va_end(arguments);
}

void detail(char const* format, ...) {
    if (current != Verbosity::Verbose)
        return;
    va_list arguments;
    va_start(arguments, format);
    say(format, arguments);
    va_end(arguments);
}

} // namespace zr::cli
