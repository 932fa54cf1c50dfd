#pragma once
// `zrhost shape convert IN OUT`: converts a shape between the forms a user meets: its text
// form (a literal argument or a .txt file), its blob image (.blob) and a shape file (.shp).

#include <filesystem>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace zr::cli {

struct ShapeConvertRequest {
    std::string input;            // a .shp, .blob or .txt file, or a literal text form
    std::filesystem::path output; // a .shp, .blob or .txt file, or "-" for the text on stdout
    std::optional<int> mode;      // interpolation for a .shp target; else the input's, else 10
    std::optional<std::string> to; // "shp", "blob" or "txt": the target's form whatever its name
};

// Returns the process exit code: 0, or 1 after printing what went wrong. A target that
// cannot be written completely is left as it was: no partial file remains.
int runShapeConvert(ShapeConvertRequest const& request);

// Registers `shape` and its subcommands on `app`; each runs from its own callback.
void addShapeCommand(CLI::App& app);

} // namespace zr::cli
