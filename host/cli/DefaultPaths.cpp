#include "host/cli/DefaultPaths.h"

#include <system_error>

namespace zr::cli {
namespace {

namespace fs = std::filesystem;

// The folder of the running executable, or empty when the system does not say.
fs::path executableFolder() {
    std::error_code error;
    fs::path const executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable.parent_path();
}

} // namespace

DefaultPaths defaultPaths() {
    DefaultPaths paths{{ZR_BUNDLE_PATH, ZR_METADATA_PATH}, ZR_EXAMPLES_DIR};
    fs::path const folder = executableFolder();
    if (folder.empty())
        return paths;
    std::error_code error;
    fs::path const bundleFolder = (folder / ZR_INSTALLED_BUNDLE_DIR).lexically_normal();
    fs::path const bundle = bundleFolder / fs::path(ZR_BUNDLE_PATH).filename();
    if (fs::is_regular_file(bundle, error))
        paths.files = {bundle, bundleFolder / fs::path(ZR_METADATA_PATH).filename()};
    fs::path const examples = (folder / ZR_INSTALLED_EXAMPLES_DIR).lexically_normal();
    if (fs::is_directory(examples, error))
        paths.examples = examples;
    return paths;
}

} // namespace zr::cli
