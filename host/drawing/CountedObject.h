#pragma once
// The reference counting and identity of an object that answers one interface and those it
// extends: every drawing object a host hands out, and stand-in modules made for a host.
// An object starts with one reference (the caller's) and deletes itself at the last release.

#include <initializer_list>
#include <vector>

#include "sdk/DrawingApi.h"

namespace zr::host::drawing {

template <typename Interface>
class CountedObject : public Interface {
public:
    CountedObject(CountedObject const&) = delete;
    CountedObject& operator=(CountedObject const&) = delete;

    // Answers MP_IID_UNKNOWN and the identifiers the object was made with.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override {
        if (returnInterface == nullptr)
            return gmpi::MP_FAIL;
        *returnInterface = nullptr;
        bool answered = iid == MP_IID_UNKNOWN;
        for (gmpi::MpGuid const& own : identifiers_)
            answered = answered || iid == own;
        if (!answered)
            return gmpi::MP_NOSUPPORT;
        *returnInterface = static_cast<Interface*>(this);
        addRef();
        return gmpi::MP_OK;
    }
    int32_t addRef() override { return ++references_; }
    int32_t release() override {
        int32_t const remaining = --references_;
        if (remaining == 0)
            delete this;
        return remaining;
    }

protected:
    // The interface's own identifier and those of the interfaces it extends.
    explicit CountedObject(std::initializer_list<gmpi::MpGuid> identifiers) : identifiers_(identifiers) {}
    virtual ~CountedObject() = default;

private:
    std::vector<gmpi::MpGuid> identifiers_;
    int32_t references_ = 1;
};

} // namespace zr::host::drawing
