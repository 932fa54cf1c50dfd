#pragma once
// gmpi_sdk::MpString: the text out-parameter a host passes to getToolTip and the like, held
// on the caller's stack (reference counting does nothing).

#include <string>

#include "sdk/GuiInterfaces.h"

namespace gmpi_sdk {

class MpString final : public gmpi::IString {
public:
    // Answers MP_IID_RETURNSTRING and MP_IID_UNKNOWN (no reference added: the text outlives
    // the call it is passed to); MP_NOSUPPORT for others, MP_FAIL for a null out-pointer.
    int32_t queryInterface(gmpi::MpGuid const& iid, void** returnInterface) override {
        if (returnInterface == nullptr)
            return gmpi::MP_FAIL;
        *returnInterface = nullptr;
        if (iid != MP_IID_RETURNSTRING && iid != MP_IID_UNKNOWN)
            return gmpi::MP_NOSUPPORT;
        *returnInterface = static_cast<gmpi::IString*>(this);
        return gmpi::MP_OK;
    }
    int32_t addRef() override { return 1; }
    int32_t release() override { return 1; }

    // Copies the bytes; may throw std::bad_alloc.
    int32_t setData(char const* data, int32_t size) override {
        if (data == nullptr || size <= 0)
            text_.clear();
        else
            text_.assign(data, static_cast<std::size_t>(size));
        return gmpi::MP_OK;
    }
    int32_t getSize() override { return static_cast<int32_t>(text_.size()); }
    // Zero-terminated, valid until the next setData.
    char const* getData() override { return text_.c_str(); }

    // [caller's side] The text stored so far.
    std::string const& str() const { return text_; }

private:
    std::string text_;
};

} // namespace gmpi_sdk
