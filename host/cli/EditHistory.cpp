#include "host/cli/EditHistory.h"

namespace zr::cli {

bool EditHistory::record(EditedShape const& state) {
    if (state == shown())
        return false;
    states_.resize(shown_ + 1);
    states_.push_back(state);
    if (states_.size() > kLongest)
        states_.erase(states_.begin());
    shown_ = states_.size() - 1;
    return true;
}

EditedShape const* EditHistory::undo() {
    if (!canUndo())
        return nullptr;
    return &states_[--shown_];
}

EditedShape const* EditHistory::redo() {
    if (!canRedo())
        return nullptr;
    return &states_[++shown_];
}

} // namespace zr::cli
