#pragma once
// Questions asked on the terminal while a window is open: the question on standard error, the
// answer one line of standard input. [main thread] The window waits while a question is open.

#include <optional>
#include <string>

namespace zr::cli {

// The answer without its line end and surrounding spaces; nothing when standard input is
// closed (no terminal to answer from).
std::optional<std::string> askLine(std::string const& question);

enum class SaveAnswer { Save, Discard, Cancel, NoAnswer };
// "Save the changes to NAME before ACTION? [y]es, [n]o, [c]ancel: ", asked again until the
// answer is one of those (an empty answer cancels).
SaveAnswer askToSave(std::string const& name, std::string const& action);

} // namespace zr::cli
