#pragma once

// What every hardening test proves afterwards: sources unchanged, no
// temporary file left, every file at a final name whole. The counts feed
// the hardening summary.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace krumple::test {

namespace fs = std::filesystem;

// Adds `n` to a count of the summary ("inputs", "faults", "checked",
// "damaged"); appended to the file named by KRUMPLE_LEDGER, when set.
void tally(std::string_view what, std::int64_t n = 1);

// The bytes of every regular file under a folder, to prove none changed.
class FolderSnapshot {
public:
    explicit FolderSnapshot(const fs::path& root);
    // Files changed, emptied or gone since the snapshot; tallies them as
    // "damaged" and the rest as "checked".
    std::vector<fs::path> damaged() const;
    std::size_t size() const { return files_.size(); }

private:
    std::map<fs::path, std::string> files_;
};

// The writer's temporary files anywhere under `root`.
std::vector<fs::path> temporaries(const fs::path& root);

// Files among `outputs` that exist but don't decode completely.
std::vector<fs::path> brokenFiles(const std::vector<fs::path>& outputs);

// Regular files under `root`, hidden ones included.
std::vector<fs::path> filesUnder(const fs::path& root);

// A tmpfs mounted for the test and unmounted afterwards. Needs root and
// permission to mount; `mounted()` says whether that worked.
class ScratchMount {
public:
    ScratchMount(const fs::path& at, std::int64_t bytes, bool readOnly = false);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    bool mounted() const { return mounted_; }
    std::string why() const { return why_; }

private:
    fs::path at_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace krumple::test
