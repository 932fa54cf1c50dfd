// The factory linked directly, with stand-in modules registered by this test binary.

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <new>
#include <string>
#include <tuple>
#include <utility>

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
    RegisterPlugin(L"Test_Audio", 0, &createStandIn);
    RegisterPlugin(L"Test_Audio", 0, &createThrowing); // a second registration is ignored
    RegisterPlugin(L"Test_Gui", 2, &createStandIn);
    RegisterPlugin(L"Test_Nothing", 0, &createNothing);
    RegisterPlugin(L"Test_Throws", 0, &createThrowing);
    RegisterPlugin(L"Test_NullFunction", 0, nullptr);
    return 0;
}();

gmpi::IMpFactory2* factory2() {
    void *unknown = nullptr, *factory = nullptr;
    EXPECT_EQ(MP_GetFactory(&unknown), gmpi::MP_OK);
    static_cast<gmpi::IMpUnknown*>(unknown)->queryInterface(MP_IID_FACTORY2, &factory);
    return static_cast<gmpi::IMpFactory2*>(factory);
}

TEST(Factory, LooksUpExactSubTypeAndIdentifier) {
    std::tuple<wchar_t const*, int32_t, int32_t, bool> const cases[] = { // id, sub-type, result, instance made
        // Near misses of real identifiers and sub-types are the bundle load test's matter.
        {L"Test_Audio", 0, gmpi::MP_OK, true},           {L"Test_Gui", 2, gmpi::MP_OK, true},
        {L"Test_Nothing", 0, gmpi::MP_OK, false},        {L"Test_Throws", 0, gmpi::MP_FAIL, false},
        {L"Test_NullFunction", 0, gmpi::MP_NOSUPPORT, false}, {nullptr, 0, gmpi::MP_NOSUPPORT, false},
    };
    for (auto const& [id, subType, result, instance] : cases) {
        for (bool withHost : {false, true}) {
            SCOPED_TRACE(testing::Message() << (id ? std::wstring(id).size() : 0) << " chars, sub-type " << subType
                                            << (withHost ? ", createInstance" : ", createInstance2"));
            void* out = reinterpret_cast<void*>(1);
            int32_t const answer = withHost ? factory2()->createInstance(id, subType, nullptr, &out)
                                            : factory2()->createInstance2(id, subType, &out);
            EXPECT_EQ(answer, result);
            ASSERT_EQ(out != nullptr, instance);
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
    std::pair<int32_t, std::wstring> const cases[] = {
        {64, L"GCC Compiler V1002 (Release)"}, {29, L"GCC Compiler V1002 (Release)"},
        {28, L"GCC Compiler V1002 (Release"}, {1, L""}, {0, L"#"}};
    for (auto const& [capacity, expected] : cases) {
        SCOPED_TRACE(capacity);
        wchar_t buffer[80];
        std::wmemset(buffer, L'#', 80);
        buffer[1] = 0;
        int32_t version = 0;
        factory2()->getSdkInformation(version, capacity, buffer);
        EXPECT_EQ(version, 30800);
        EXPECT_EQ(std::wstring(buffer), expected);
        EXPECT_EQ(buffer[std::max(capacity, 2)], L'#') << "nothing written past the capacity";
    }
    int32_t version = 0;
    EXPECT_EQ(factory2()->getSdkInformation(version, 10, nullptr), gmpi::MP_OK);
}

} // namespace
