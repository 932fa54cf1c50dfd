#pragma once
// The known names nearest to a misspelt one, for messages like "did you mean ...".

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace zr::host {

// Edits (insert, delete, replace one character, letter case ignored) from `a` to `b`.
inline size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t const above = row[j];
            bool const same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Up to `count` of `known`, nearest first; ties keep the order of `known`.
inline std::vector<std::string> nearestNames(std::string_view name, std::vector<std::string> known, size_t count = 3) {
    std::stable_sort(known.begin(), known.end(), [&](std::string const& x, std::string const& y) {
        return editDistance(name, x) < editDistance(name, y);
    });
    known.resize(std::min(count, known.size()));
    return known;
}

inline std::string joinNames(std::vector<std::string> const& names) {
    std::string text;
    for (std::string const& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace zr::host
