#pragma once
// The JSON library's reason for an error without its own code and position prefixes
// ("[json.exception.parse_error.101] parse error at line 3, column 1: "), so that a message
// shows the reason in words and the caller's own place (file:line:column or a JSON path).

#include <string>
#include <string_view>

namespace zr::host {

inline std::string jsonErrorReason(std::string_view what) {
    if (what.starts_with("[json.exception.")) {
        size_t const end = what.find("] ");
        what.remove_prefix(end == std::string_view::npos ? what.size() : end + 2);
    }
    if (what.starts_with("parse error")) {
        size_t const column = what.find("column ");
        size_t const colon = what.find(": ", column == std::string_view::npos ? 0 : column);
        if (colon != std::string_view::npos)
            what.remove_prefix(colon + 2);
    }
    return std::string(what);
}

} // namespace zr::host
