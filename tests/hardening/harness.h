#pragma once

// What every hardening test proves afterwards: sources unchanged, no
// temporary file left, every file at a final name whole. The counts feed
// the hardening summary.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <vips/vips8>

#include "test_support.h"

namespace krumple::test {

using Strings = std::vector<std::string>;

// Adds `n` to a count of the summary ("inputs", "faults", "checked",
// "damaged"); appended to the file named by KRUMPLE_LEDGER, when set.
void tally(std::string_view what, std::int64_t n = 1);

// Three bands of noise: every codec writes real entropy-coded data, and a
// lossless output is about 3 bytes a pixel.
vips::VImage noise(int width, int height);

// The bytes of every regular file under a folder, to prove none changed.
class FolderSnapshot {
public:
    explicit FolderSnapshot(const fs::path& root);
    // Files changed, emptied or gone since; tallied as "damaged", the rest as "checked".
    std::vector<fs::path> damaged() const;

private:
    std::map<fs::path, std::string> files_;
};

// Regular files under `root`, hidden ones included.
std::vector<fs::path> filesUnder(const fs::path& root);

// Files among `outputs` that are missing or don't decode completely.
std::vector<fs::path> brokenFiles(const std::vector<fs::path>& outputs);

// The files under `folder` are exactly `outputs`, each whole: no temporary
// or stray file is left.
void expectExactly(const fs::path& folder, std::vector<fs::path> outputs);

// A tmpfs mounted for the test and unmounted afterwards. Needs root and
// permission to mount; `why` says why not, empty when mounted.
class ScratchMount {
public:
    ScratchMount(const fs::path& at, std::int64_t bytes, bool readOnly = false);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    std::string why;

private:
    fs::path at_;
};

// A store converting sources into an output folder.
class Batch : public StoreTest {
protected:
    fs::path src = dir / "src";
    fs::path out = dir / "out";

    // `n` noise pictures of `side` pixels in `src`, added in name order, as
    // PNG or as JPEG (which any lossless output makes larger).
    void addSources(int n, int side, const std::string& extension = "png");
    // Without `wait`, returns as soon as the batch has started.
    void convertInto(const fs::path& folder, OutputFormat format = OutputFormat::jpeg, bool wait = true);
    Strings outcomes() const;              // per item: its failure text, or "pending", "converting" or "done"
    std::vector<fs::path> outputs() const;  // of the items done
};

}  // namespace krumple::test
