#pragma once
// The undo history of an edited shape: the states a person made, oldest first, and the one
// shown. A new state after an undo drops the states that could have been redone, as in any
// editor. [ui thread]

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zr::cli {

// A shape as the editor holds it: its blob image as the editor transmits it, and its mode.
struct EditedShape {
    std::vector<uint8_t> image;
    int32_t mode = 10;
    bool operator==(EditedShape const&) const = default;
};

class EditHistory {
public:
    // Oldest states are dropped beyond this many.
    static constexpr std::size_t kLongest = 1000;

    explicit EditHistory(EditedShape initial) : states_{std::move(initial)} {}

    // Makes `state` the shown one, after the shown one; the same state again records nothing.
    // Returns whether it was recorded.
    bool record(EditedShape const& state);
    // The state before (after) the shown one, now shown; nothing when there is none.
    EditedShape const* undo();
    EditedShape const* redo();
    EditedShape const& shown() const { return states_[shown_]; }
    bool canUndo() const { return shown_ > 0; }
    bool canRedo() const { return shown_ + 1 < states_.size(); }

private:
    std::vector<EditedShape> states_;
    std::size_t shown_ = 0;
};

} // namespace zr::cli
