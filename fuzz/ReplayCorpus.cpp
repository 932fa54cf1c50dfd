// Replays every input kept for one fuzz target (its seed corpus and the inputs that once
// broke it) under whatever compiler built the tests: one test per file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"

namespace zr::fuzz {

void failed(char const* file, int line, std::string const& what) {
    throw std::runtime_error(std::string(file) + ":" + std::to_string(line) + ": " + what);
}

} // namespace zr::fuzz

namespace {

std::vector<std::filesystem::path> keptInputs() {
    std::vector<std::filesystem::path> files;
    std::stringstream directories(ZR_FUZZ_INPUT_DIRS);
    for (std::string directory; std::getline(directories, directory, '|');) {
        if (!std::filesystem::is_directory(directory))
            continue;
        for (auto const& entry : std::filesystem::directory_iterator(directory))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string testName(testing::TestParamInfo<std::filesystem::path> const& info) {
    std::string name = info.param.parent_path().filename().string() + "_" + info.param.filename().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class Replay : public testing::TestWithParam<std::filesystem::path> {};

TEST_P(Replay, KeepsEveryProperty) {
    std::ifstream file(GetParam(), std::ios::binary);
    ASSERT_TRUE(file) << GetParam();
    std::vector<uint8_t> const bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    try {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    } catch (std::exception const& broken) {
        ADD_FAILURE() << GetParam() << "\n" << broken.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, Replay, testing::ValuesIn(keptInputs()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Replay);

} // namespace
