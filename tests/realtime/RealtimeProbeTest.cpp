// The real-time probe counts what it should: checked on known amounts of work, and on our
// host's own bookkeeping around a module call.

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/AudioModule.h"
#include "host/HostBookkeeping.h"
#include "host/RealtimeProbe.h"
#include "tests/host/FakeModule.h"

namespace zr::host {
namespace {

// Work whose result the compiler must keep: a pointer stored here cannot be elided.
void* volatile escaped = nullptr;

using Counts = RealtimeProbe::Counts;

template <typename Work>
Counts countsOf(Work work) {
    RealtimeProbe::Region region;
    work();
    return region.counts();
}

TEST(RealtimeProbe, CountsKnownWork) {
    std::vector<int> reserved;
    reserved.reserve(16);
    std::mutex mutex;
    struct Case {
        char const* name;
        std::function<void()> work;
        Counts expected;
    };
    std::vector<Case> const cases = {
        {"vector growth", [] { std::vector<int> grown; grown.push_back(1); escaped = grown.data(); }, {1, 1, 0}},
        {"push into reserved capacity", [&] { reserved.push_back(2); escaped = reserved.data(); }, {0, 0, 0}},
        {"three-character wstring", [] { std::wstring s(L"abc"); escaped = s.data(); }, {0, 0, 0}},
        {"four-character wstring", [] { std::wstring s(L"abcd"); escaped = s.data(); }, {1, 1, 0}},
        {"new without delete", [] { escaped = new int(3); }, {1, 0, 0}},
        {"std::mutex lock", [&] { std::lock_guard<std::mutex> lock(mutex); }, {0, 0, 1}},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Counts const counted = countsOf(c.work);
        EXPECT_EQ(counted.allocations, c.expected.allocations);
        EXPECT_EQ(counted.frees, c.expected.frees);
        EXPECT_EQ(counted.locks, c.expected.locks);
    }
    delete static_cast<int*>(escaped);
    escaped = nullptr;
}

TEST(RealtimeProbe, LeavesOutHostBookkeepingOtherThreadsAndClosedRegions) {
    Counts const bookkeeping = countsOf([] {
        HostBookkeeping hostWork;
        std::vector<int> grown(100);
        escaped = grown.data();
    });
    EXPECT_EQ(bookkeeping.allocations, 0);
    EXPECT_EQ(bookkeeping.frees, 0);

    Counts const otherThread = countsOf([] {
        HostBookkeeping startingTheThread;
        std::thread worker([] {
            std::vector<int> grown(100);
            escaped = grown.data();
        });
        worker.join();
    });
    EXPECT_EQ(otherThread.allocations, 0);

    Counts outsideRegion;
    {
        RealtimeProbe::Region region;
        std::vector<int> inside(10);
        escaped = inside.data();
        outsideRegion = region.counts();
    }
    std::vector<int> afterwards(10);
    escaped = afterwards.data();
    EXPECT_EQ(outsideRegion.allocations, 1);
}

TEST(RealtimeProbe, NestedRegionsEachCountTheirOwnSpan) {
    RealtimeProbe::Region outer;
    escaped = new int(1);
    Counts inner;
    {
        RealtimeProbe::Region region;
        delete static_cast<int*>(escaped);
        inner = region.counts();
    }
    escaped = nullptr;
    EXPECT_EQ(inner.allocations, 0);
    EXPECT_EQ(inner.frees, 1);
    EXPECT_EQ(outer.counts().allocations, 1);
    EXPECT_EQ(outer.counts().frees, 1);
}

// Building a block's event list (with data too large to travel inline) and recording what
// the module sends back are host work; only the module's own allocation may count.
TEST(RealtimeProbe, RunnerCountsOnlyTheModulesWork) {
    for (bool moduleAllocates : {false, true}) {
        SCOPED_TRACE(moduleAllocates ? "module allocates" : "module does not allocate");
        fakes::FakeBehaviour behaviour;
        behaviour.noteEvents = false;
        behaviour.allocateInProcess = moduleAllocates;
        behaviour.echoPin = 1;
        behaviour.echoSize = 200;
        fakes::FakeFactory factory(behaviour);
        AudioModule module(factory, fakes::fakeModuleId);
        module.setText(0, 0, std::wstring(300, L'x'));
        module.setBytes(2, 5, std::vector<uint8_t>(100, 1));

        Counts const counted = countsOf([&] { module.process(64); });
        EXPECT_EQ(counted.allocations, moduleAllocates ? 1 : 0);
        EXPECT_EQ(counted.locks, 0);
        ASSERT_TRUE(module.host().lastPinSet(1).has_value());
        EXPECT_EQ(module.host().lastPinSet(1)->bytes.size(), 200u);
    }
}

} // namespace
} // namespace zr::host
