#pragma once
// Where a hostile script takes its decisions from: a seeded generator in the stress test, the
// input bytes in the fuzzer. One script generator serves both, so the fuzzer reaches the same
// kinds of scripts the stress test runs, and every fuzz finding can be replayed as a script.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace zr::hostile {

class Choices {
public:
    virtual ~Choices() = default;
    // A number in 0..bound-1; 0 when bound is 0.
    virtual uint32_t below(uint32_t bound) = 0;
    // 32 arbitrary bits.
    virtual uint32_t bits() = 0;
    // True once a finite source has nothing left to say (it then answers 0).
    virtual bool exhausted() const { return false; }

    bool oneIn(uint32_t n) { return below(n) == 0; }
    float anyFloat() {
        uint32_t const word = bits();
        float value;
        std::memcpy(&value, &word, sizeof value);
        return value;
    }
    // One element of a non-empty array, vector or span.
    template <typename Options>
    auto const& pick(Options const& options) {
        return options[below(static_cast<uint32_t>(std::size(options)))];
    }
};

// A reproducible stream: the same seed gives the same script under every compiler.
class SeededChoices final : public Choices {
public:
    explicit SeededChoices(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

    uint32_t below(uint32_t bound) override { return bound == 0 ? 0 : static_cast<uint32_t>(next() % bound); }
    uint32_t bits() override { return static_cast<uint32_t>(next() >> 32); }

private:
    // splitmix64: small, fast and identical everywhere.
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    uint64_t state_;
};

// The fuzzer's input read front to back; small bounds take one byte, larger ones more.
class ByteChoices final : public Choices {
public:
    ByteChoices(uint8_t const* data, std::size_t size) : data_(data), size_(size) {}

    uint32_t below(uint32_t bound) override {
        if (bound <= 1)
            return 0;
        uint32_t const width = bound <= 0x100u ? 1 : bound <= 0x10000u ? 2 : 4;
        return take(width) % bound;
    }
    uint32_t bits() override { return take(4); }
    bool exhausted() const override { return position_ >= size_; }

private:
    uint32_t take(uint32_t width) {
        uint32_t value = 0;
        for (uint32_t i = 0; i < width && position_ < size_; ++i)
            value |= static_cast<uint32_t>(data_[position_++]) << (8 * i);
        return value;
    }

    uint8_t const* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

} // namespace zr::hostile
