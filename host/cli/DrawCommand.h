#pragma once
// `zrhost draw`: draws a shape editor into a PNG picture, as a host would show it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/cli/DemoCommand.h"

namespace zr::cli {

struct DrawRequest {
    std::wstring editorId = L"ZR_ShapeEditor5";
    // Exactly one source of the shape; none draws the editor's default shape.
    std::optional<std::string> shapeText;          // text form, "(-5,-5)(5,5)"
    std::optional<std::filesystem::path> blobFile; // the blob image's bytes
    std::optional<std::filesystem::path> shapeFile; // text form, a newline, then ITP=<mode>
    std::optional<std::vector<uint8_t>> blobBytes;  // the blob image itself
    std::optional<int> mode;                       // interpolation; else the shape file's, else 10
    int width = 400;
    int height = 200;
    std::vector<std::string> pinSettings;          // NAME=VALUE, any editor pin by name
    std::filesystem::path output = "editor.png";
};

// Returns the process exit code; throws std::exception with a message on bad input.
int runDraw(BundleFiles const& files, DrawRequest const& request);

} // namespace zr::cli
