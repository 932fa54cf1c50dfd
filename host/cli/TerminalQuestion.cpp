#include "host/cli/TerminalQuestion.h"

#include <cstdio>
#include <iostream>

namespace zr::cli {
namespace {

std::string trimmed(std::string const& text) {
    std::size_t const first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    std::size_t const last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

std::optional<std::string> askLine(std::string const& question) {
    std::fprintf(stderr, "%s", question.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::fprintf(stderr, "\n");
        return std::nullopt;
    }
    return trimmed(line);
}

SaveAnswer askToSave(std::string const& name, std::string const& action) {
    std::string const question = "Save the changes to " + name + " before " + action + "? [y]es, [n]o, [c]ancel: ";
    for (;;) {
        std::optional<std::string> const answer = askLine(question);
        if (!answer)
            return SaveAnswer::NoAnswer;
        if (*answer == "y" || *answer == "Y" || *answer == "yes")
            return SaveAnswer::Save;
        if (*answer == "n" || *answer == "N" || *answer == "no")
            return SaveAnswer::Discard;
        if (answer->empty() || *answer == "c" || *answer == "C" || *answer == "cancel")
            return SaveAnswer::Cancel;
    }
}

} // namespace zr::cli
