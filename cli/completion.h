#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace krumple::cli {

// krumple-cli's completion script for "bash", "zsh" or "fish", made from the
// option table the parser reads; nullopt for another shell.
std::optional<std::string> completionScript(std::string_view shell);

}  // namespace krumple::cli
