// The shape-processing modules on the audio thread: once their pins hold values of a size,
// batches with new values of the same sizes allocate, free and lock nothing.

#include <gtest/gtest.h>

#include <functional>

#include "host/RealtimeProbe.h"
#include "tests/modules/BundleFixture.h"

namespace {

using zr::host::AudioModule;
using zr::host::RealtimeProbe;
using zr::test::shapeImage;

// A shape of five nodes whose heights follow `level`, so that each call gives new bytes of
// the same size.
std::vector<uint8_t> fiveNodes(float level) {
    return shapeImage({{0.0f, level}, {0.25f, -level}, {0.5f, 0.5f * level}, {0.75f, 0.0f}, {1.0f, -level}});
}

struct Case {
    wchar_t const* id;
    int32_t copies; // of the repeatable pin; 0 when the module has none
    // Queues one batch of values; `level` varies from batch to batch.
    std::function<void(AudioModule&, float level)> queue;
};

TEST(ShapeModulesRealtime, SameSizeValuesAllocateAndLockNothing) {
    Case const cases[] = {
        {L"ZR_ShapeMorpher2", 1, [](AudioModule& m, float level) { m.setBytes(2, 0, fiveNodes(level)); }},
        {L"ZR_ShapeMorpher2", 2,
         [](AudioModule& m, float level) {
             m.setBytes(2, 0, fiveNodes(level));
             m.setBytes(3, 0, fiveNodes(-level));
             m.setFloat(1, 0, 0.5f * (level + 1.0f));
         }},
        {L"ZR_ShapeMorpher2", 5,
         [](AudioModule& m, float level) {
             for (int32_t pin = 2; pin < 7; ++pin)
                 m.setBytes(pin, 0, fiveNodes(level));
             m.setFloat(1, 0, 0.5f * (level + 1.0f));
         }},
        {L"ZR_ShapeNodeModul2", 0,
         [](AudioModule& m, float level) {
             m.setBytes(0, 0, fiveNodes(level));
             m.setInt(1, 0, 2);
             m.setFloat(2, 0, level);
             m.setFloat(3, 0, -level);
         }},
        {L"ZR_ShapeNodeModif2", 0,
         [](AudioModule& m, float level) {
             m.setBytes(0, 0, fiveNodes(level));
             m.setInt(1, 0, 1);
             m.setFloat(2, 0, 3.0f * level);
             m.setFloat(3, 0, 2.0f * level);
         }},
        {L"ZR_ShapeShift2", 0,
         [](AudioModule& m, float level) {
             m.setBytes(0, 0, fiveNodes(level));
             m.setFloat(1, 0, 4.0f * level);
         }},
        {L"ZR_ShapeFit", 0,
         [](AudioModule& m, float level) {
             m.setBytes(0, 0, fiveNodes(level));
             m.setFloat(1, 0, -level);
             m.setFloat(2, 0, 5.0f);
         }},
        {L"ZR_ShapeSnap", 0,
         [](AudioModule& m, float level) {
             m.setBytes(0, 0, fiveNodes(level));
             m.setFloat(2, 0, level);
         }},
        {L"ZR_RegularShapeGen", 120,
         [](AudioModule& m, float level) {
             for (int32_t pin = 1; pin <= 120; ++pin)
                 m.setFloat(pin, 0, level * static_cast<float>(pin % 7));
         }},
        // A rejected image of the same size falls back to the text, also of the same length.
        {L"ZR_DefaultShape", 0,
         [](AudioModule& m, float level) {
             std::vector<uint8_t> image = fiveNodes(level);
             if (level < 0.0f)
                 image[0] = 0;
             m.setBytes(0, 0, image);
             m.setText(1, 0, level < 0.0f ? L"(-5,-5)(5,5)" : L"(-5,+5)(5,5)");
         }},
        {L"ZR_ShapeStr2BLOB", 0,
         [](AudioModule& m, float level) { m.setText(0, 0, level < 0.0f ? L"(-5,-5)(0,1)(5,5)" : L"(-5,-5)(0,2)(5,5)"); }},
    };
    for (Case const& c : cases) {
        std::wstring const id = c.id;
        SCOPED_TRACE(std::string(id.begin(), id.end()) + " " + std::to_string(c.copies));
        auto module = c.copies > 0 ? zr::test::makeModuleWithCopies(c.id, c.copies) : zr::test::makeModule(c.id);
        module->open();
        module->graphStart();
        module->sendDefaults();
        c.queue(*module, 0.5f);
        module->process(16); // values of these sizes are in place now
        module->host().clearRecords();

        for (float level : {-0.25f, 0.75f, -1.0f}) {
            SCOPED_TRACE(level);
            c.queue(*module, level);
            RealtimeProbe::Region region;
            module->process(16);
            auto const counts = region.counts();
            EXPECT_EQ(counts.allocations, 0);
            EXPECT_EQ(counts.frees, 0);
            EXPECT_EQ(counts.locks, 0);
        }
        EXPECT_FALSE(module->host().records().empty()) << "the batches reached the module and it sent";
    }
}

// The counterpart, which also shows that the probe sees into the bundle: a longer image
// makes the input pin's storage grow, and that allocates.
TEST(ShapeModulesRealtime, ALongerImageAllocatesOnlyForThePinsStorage) {
    auto module = zr::test::makeModuleWithCopies(L"ZR_ShapeMorpher2", 2);
    module->open();
    module->graphStart();
    module->setBytes(2, 0, fiveNodes(0.5f));
    module->setBytes(3, 0, fiveNodes(0.5f));
    module->process(16);

    module->setBytes(2, 0, shapeImage({{0.0f, 0.0f}, {0.1f, 0.0f}, {0.2f, 0.0f}, {0.3f, 0.0f}, {0.4f, 0.0f}, {1.0f, 0.0f}}));
    RealtimeProbe::Region region;
    module->process(16);
    auto const counts = region.counts();
    EXPECT_EQ(counts.allocations, 1);
    EXPECT_EQ(counts.frees, 1);
    EXPECT_EQ(counts.locks, 0);
}

} // namespace
