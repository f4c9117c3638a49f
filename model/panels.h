#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace krumple {

// The modal pickers the store asks for. The window implements them with its
// dialogs; tests with fakes. Called on the main thread.
class Panels {
public:
    virtual ~Panels() = default;
    // Files and folders, several at once, prompt "Add". Empty when cancelled.
    virtual std::vector<std::filesystem::path> chooseFilesToAdd() = 0;
    // One folder, new folders allowed, prompt "Choose". nullopt when cancelled.
    virtual std::optional<std::filesystem::path> chooseOutputFolder() = 0;

};

}  // namespace krumple
