// The factory linked directly, with stand-in modules registered by this test binary.

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <new>

#include "host/drawing/CountedObject.h"
#include "sdk/MpFactory.h"

namespace {

// A stand-in for a module, made with one reference: its creator's.
struct StandIn final : zr::host::drawing::CountedObject<gmpi::IMpUnknown> {
    StandIn() : CountedObject({}) {}
};

gmpi::IMpUnknown* createStandIn() { return new StandIn; }
gmpi::IMpUnknown* createNothing() { return nullptr; }
gmpi::IMpUnknown* createThrowing() { throw std::bad_alloc(); }

[[maybe_unused]] auto const registrations = [] {
    RegisterPlugin(0, L"Test_Audio", &createStandIn);
    RegisterPlugin(0, L"Test_Audio", &createThrowing); // a second registration is ignored
    RegisterPlugin(2, L"Test_Gui", &createStandIn);
    RegisterPlugin(0, L"Test_Nothing", &createNothing);
    RegisterPlugin(0, L"Test_Throws", &createThrowing);
    RegisterPlugin(0, L"Test_NullFunction", nullptr);
    return 0;
}();

gmpi::IMpFactory2* factory2() {
    void *unknown = nullptr, *factory = nullptr;
    EXPECT_EQ(MP_GetFactory(&unknown), gmpi::MP_OK);
    static_cast<gmpi::IMpUnknown*>(unknown)->queryInterface(MP_IID_FACTORY2, &factory);
    return static_cast<gmpi::IMpFactory2*>(factory);
}

TEST(Factory, LooksUpExactSubTypeAndIdentifier) {
    struct Case {
        wchar_t const* id;
        int32_t subType, result;
        bool instance;
    } const cases[] = {
        // Near misses of real identifiers and sub-types are the bundle load test's matter.
        {L"Test_Audio", 0, gmpi::MP_OK, true},           {L"Test_Gui", 2, gmpi::MP_OK, true},
        {L"Test_Nothing", 0, gmpi::MP_OK, false},        {L"Test_Throws", 0, gmpi::MP_FAIL, false},
        {L"Test_NullFunction", 0, gmpi::MP_NOSUPPORT, false}, {nullptr, 0, gmpi::MP_NOSUPPORT, false},
    };
    for (auto const& c : cases) {
        for (bool withHost : {false, true}) {
            SCOPED_TRACE(testing::Message() << (c.id ? std::wstring(c.id).size() : 0) << " chars, sub-type " << c.subType
                                            << (withHost ? ", createInstance" : ", createInstance2"));
            void* out = reinterpret_cast<void*>(1);
            int32_t const result = withHost ? factory2()->createInstance(c.id, c.subType, nullptr, &out)
                                            : factory2()->createInstance2(c.id, c.subType, &out);
            EXPECT_EQ(result, c.result);
            ASSERT_EQ(out != nullptr, c.instance);
            if (out != nullptr) {
                auto* created = static_cast<gmpi::IMpUnknown*>(out);
                EXPECT_EQ(created->addRef(), 2) << "the instance holds its creator's reference only";
                created->release();
                created->release();
            }
        }
    }
    EXPECT_NE(factory2()->createInstance2(L"Test_Audio", 0, nullptr), gmpi::MP_OK);
}

TEST(Factory, AnswersItsThreeIdentifiersAndIsNeverDeleted) {
    gmpi::IMpFactory2* factory = factory2();
    for (auto const& iid : {MP_IID_UNKNOWN, MP_IID_FACTORY, MP_IID_FACTORY2}) {
        void* out = nullptr;
        EXPECT_EQ(factory->queryInterface(iid, &out), gmpi::MP_OK);
        EXPECT_EQ(out, static_cast<void*>(factory));
    }
    EXPECT_NE(factory->queryInterface(MP_IID_FACTORY, nullptr), gmpi::MP_OK);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(factory->release(), 1);
    EXPECT_EQ(factory2(), factory);
}

TEST(Factory, SdkInformationStaysWithinTheBuffer) {
    struct Case {
        int32_t capacity;
        std::wstring expected;
    } const cases[] = {{64, L"GCC Compiler V1002 (Release)"}, {29, L"GCC Compiler V1002 (Release)"},
                       {28, L"GCC Compiler V1002 (Release"}, {1, L""}, {0, L"#"}};
    for (auto const& c : cases) {
        SCOPED_TRACE(c.capacity);
        wchar_t buffer[80];
        std::wmemset(buffer, L'#', 80);
        buffer[1] = 0;
        int32_t version = 0;
        factory2()->getSdkInformation(version, c.capacity, buffer);
        EXPECT_EQ(version, 30800);
        EXPECT_EQ(std::wstring(buffer), c.expected);
        EXPECT_EQ(buffer[std::max(c.capacity, 2)], L'#') << "nothing written past the capacity";
    }
    int32_t version = 0;
    EXPECT_EQ(factory2()->getSdkInformation(version, 10, nullptr), gmpi::MP_OK);
}

} // namespace
