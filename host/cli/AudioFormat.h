#pragma once
// The audio formats zrhost writes, encoded by libsndfile: WAV, FLAC and AIFF, holding 16- or
// 24-bit integers or 32-bit floats. The format comes from --format or the output's
// extension, the depth from --bits.

#include <filesystem>
#include <optional>
#include <string>

namespace zr::cli {

enum class Container { Wav, Flac, Aiff };
enum class SampleDepth { Int16, Int24, Float32 };

struct AudioFormat {
    Container container = Container::Wav;
    SampleDepth depth = SampleDepth::Int16;
};

// `formatName` ("wav", "flac" or "aiff", lower case) when given, else the extension of `output` (.wav,
// .flac, .aif or .aiff, in any case); a stream with no extension ("-", /dev/null) takes WAV.
// `bitsName` is "16", "24" or "32f". Throws std::invalid_argument for an unknown extension
// (listing the known ones) and for a depth the format cannot hold (FLAC has no floats).
AudioFormat chooseAudioFormat(std::filesystem::path const& output, bool stream, std::optional<std::string> const& formatName,
                              std::string const& bitsName);

// Throws std::invalid_argument when `format` cannot hold `channels` channels at `sampleRate`
// or cannot be written into a stream (AIFF needs to go back to its header).
void checkAudioFormatFits(AudioFormat format, int channels, int sampleRate, bool stream);

// libsndfile's code for the sample depth (SF_FORMAT_PCM_16, ...) and for the container.
int sndfileDepth(SampleDepth depth);
int sndfileContainer(Container container);
int bytesPerSample(SampleDepth depth);
// "WAV, 16-bit", "FLAC, 24-bit", "AIFF, 32-bit float".
std::string describe(AudioFormat format);

} // namespace zr::cli
