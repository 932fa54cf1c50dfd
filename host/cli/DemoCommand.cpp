#include "host/cli/DemoCommand.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

#include "host/AudioModule.h"
#include "host/Bundle.h"
#include "host/ModuleDescriptions.h"
#include "shapes/Shape.h"

namespace zr::cli {
namespace {

constexpr int32_t kShape = 0, kInterpolation = 1, kInput = 4, kOut = 5;
constexpr int32_t kBlockSize = 64;
constexpr wchar_t kDemoShape[] = L"(-5,-5)(-2.5,-4.5)(0,0)(2.5,4.5)(5,5)"; // a soft saturation curve

std::vector<uint8_t> imageOf(Shape const& shape) {
    auto const* bytes = static_cast<uint8_t const*>(shape.blobData());
    return {bytes, bytes + shape.blobSize()};
}

// One cycle of a sine wave at full range (+-5 V), as the waveshaper's input.
std::vector<float> testSignal(int32_t length) {
    std::vector<float> signal(length);
    for (int32_t i = 0; i < length; ++i)
        signal[i] = 0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * i / length));
    return signal;
}

std::vector<float> shapeThroughWaveshaper(host::Bundle& bundle, host::ModuleDescription const& description,
                                          std::vector<float> const& input) {
    host::AudioModuleOptions options;
    options.description = description;
    host::AudioModule module(bundle, L"ZR_Waveshaper2", options);
    module.connectAudio(kInput);
    module.connectAudio(kOut);
    module.open();
    module.graphStart();
    module.sendDefaults();
    module.setBytes(kShape, 0, imageOf(Shape(kDemoShape)));
    module.setInt(kInterpolation, 0, NaturalSpline);
    module.startStream(kInput, 0);

    std::vector<float> output;
    for (size_t start = 0; start < input.size(); start += kBlockSize) {
        auto const count = static_cast<int32_t>(std::min<size_t>(kBlockSize, input.size() - start));
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(start), count, module.buffer(kInput));
        module.process(count);
        output.insert(output.end(), module.buffer(kOut), module.buffer(kOut) + count);
    }
    return output;
}

} // namespace

int runDemo(BundleFiles const& files, std::filesystem::path const& outputDirectory) {
    host::Bundle bundle(files.bundle);
    auto const descriptions = host::ModuleDescriptions::load(files.descriptions);
    std::vector<float> const input = testSignal(512);
    std::vector<float> const output = shapeThroughWaveshaper(bundle, *descriptions.find(L"ZR_Waveshaper2"), input);

    std::printf("ZR_Waveshaper2, shape %ls in natural-spline mode\n", kDemoShape);
    std::printf("%10s %10s\n", "in (V)", "out (V)");
    for (size_t i = 0; i < input.size(); i += 32)
        std::printf("%10.3f %10.3f\n", input[i] * 10.0f, output[i] * 10.0f);

    std::filesystem::create_directories(outputDirectory);
    auto const csvPath = outputDirectory / "waveshaper-demo.csv";
    std::ofstream csv(csvPath);
    csv << "sample,input_volts,output_volts\n";
    for (size_t i = 0; i < input.size(); ++i)
        csv << i << ',' << input[i] * 10.0f << ',' << output[i] * 10.0f << '\n';
    if (!csv) {
        std::fprintf(stderr, "zrhost: could not write %s\n", csvPath.c_str());
        return 1;
    }
    std::printf("wrote %s\n", csvPath.c_str());
    return 0;
}

} // namespace zr::cli
