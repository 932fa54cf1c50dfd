#pragma once
// What zrhost says besides its results, by the -q and -v every subcommand takes: errors
// always (on stderr, by main), reports ("wrote ...", the clip report) unless -q, details of
// what it loads and writes with -v. Reports go to stdout, or to stderr while stdout carries
// a result (-o -). [main thread]

namespace zr::cli {

enum class Verbosity { Quiet, Normal, Verbose };

void setVerbosity(Verbosity verbosity);
Verbosity verbosity();
// Sends reports and details to stderr, since stdout carries a result.
void keepStdoutForResults();

// printf-style lines, each ending in a newline of its own.
void report(char const* format, ...) __attribute__((format(printf, 1, 2)));
void detail(char const* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace zr::cli
