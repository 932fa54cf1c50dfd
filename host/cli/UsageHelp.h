#pragma once
// What zrhost says about itself: its version with the bundle's framework information, and
// the subcommands when the one typed does not exist.

#include <filesystem>

namespace CLI {
class App;
}

namespace zr::cli {

// Prints "zrhost VERSION" and what the bundle's factory reports about its framework and build.
// Returns the process exit code: 1 when the bundle cannot be loaded (said on stderr).
int printVersion(std::filesystem::path const& bundle);

// When the first word of the command line that is no option is not a subcommand of `app`,
// says so on stderr with the subcommands and the nearest one, and returns true.
bool explainUnknownSubcommand(CLI::App const& app, int argc, char const* const* argv);

} // namespace zr::cli
