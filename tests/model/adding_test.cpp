// Adding files and folders: order, filtering, de-duplication, odd folders.

#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "folder_walk.h"
#include "natural_order.h"
#include "test_support.h"

namespace krumple::test {
namespace {

using Names = std::vector<std::string>;

class AddingTest : public StoreTest {};

TEST_F(AddingTest, FolderIsWalkedInNaturalOrderByFullPath) {
    makePng(dir / "p/b.png");
    makePng(dir / "p/a10.png");
    makePng(dir / "p/a2.png");
    makePng(dir / "p/A3.png");
    makeJpeg(dir / "p/sub/img10.jpg");
    makeJpeg(dir / "p/sub/img2.jpg");
    EXPECT_EQ(addAndWait({dir / "p"}), 6u);
    EXPECT_EQ(fileNames(), (Names{"a2.png", "A3.png", "a10.png", "b.png", "img2.jpg", "img10.jpg"}));
}

TEST(NaturalOrderTest, DigitsByValueCaseIgnoredTiesByBytes) {
    std::vector<fs::path> paths{"/x/img10.jpg", "/x/IMG2.jpg", "/x/img2.jpg", "/x/img1.jpg", "/w/z.jpg"};
    sortNaturally(paths);
    EXPECT_EQ(paths, (std::vector<fs::path>{"/w/z.jpg", "/x/img1.jpg", "/x/IMG2.jpg", "/x/img2.jpg", "/x/img10.jpg"}));
}

TEST_F(AddingTest, OnlyImagesByContentAndNoHiddenNames) {
    makeJpeg(dir / "p/photo.jpg");
    writeText(dir / "p/notes.jpg", "not a picture");  // the name lies
    makeJpeg(dir / "p/no_extension");
    makeJpeg(dir / "p/.hidden.jpg");
    makeJpeg(dir / "p/.cache/inside.jpg");
    writeText(dir / "p/data.csv", "1,2,3\n4,5,6\n");
    EXPECT_EQ(addAndWait({dir / "p"}), 2u);
    EXPECT_EQ(fileNames(), (Names{"no_extension", "photo.jpg"}));

    // A hidden file named directly is probed like any other.
    EXPECT_EQ(addAndWait({dir / "p/.hidden.jpg"}), 1u);
}

TEST_F(AddingTest, EachFileOnceWhateverItsSpelling) {
    makeJpeg(dir / "p/a.jpg");
    makeJpeg(dir / "p/b.jpg");
    const fs::path dotted = dir.path() / "p" / "." / "a.jpg";
    EXPECT_EQ(addAndWait({dir / "p/a.jpg", dotted}), 1u);
    EXPECT_EQ(at(0).url, dir / "p/a.jpg");  // kept as given, not standardized

    // Already listed: nothing new from the folder but b.
    EXPECT_EQ(addAndWait({dir / "p"}), 1u);
    EXPECT_EQ(fileNames(), (Names{"a.jpg", "b.jpg"}));
    EXPECT_EQ(addAndWait({dir / "p/sub/../b.jpg"}), 0u);
}

TEST_F(AddingTest, AFileBeforeItsFolderKeepsItsPlace) {
    makeJpeg(dir / "p/a.jpg");
    makeJpeg(dir / "p/b.jpg");
    EXPECT_EQ(addAndWait({dir / "p/b.jpg", dir / "p"}), 2u);
    EXPECT_EQ(fileNames(), (Names{"b.jpg", "a.jpg"}));
}

TEST_F(AddingTest, OverlappingRequestsListAFileOnce) {
    makeJpeg(dir / "p/a.jpg");
    makeJpeg(dir / "p/b.jpg");
    std::size_t finished = 0;
    store->add({dir / "p"}, [&](std::size_t) { ++finished; });
    store->add({dir / "p/b.jpg"}, [&](std::size_t) { ++finished; });
    ASSERT_TRUE(queue.runUntil([&] { return finished == 2; }));
    EXPECT_EQ(store->items().size(), 2u);
}

TEST_F(AddingTest, ItemsStartPendingWithSizeAndFreshIds) {
    makeJpeg(dir / "a.jpg", 64, 64);
    makeJpeg(dir / "b.jpg");
    ASSERT_EQ(addAndWait({dir / "a.jpg", dir / "b.jpg"}), 2u);
    EXPECT_EQ(at(0).originalSize, static_cast<std::int64_t>(fs::file_size(dir / "a.jpg")));
    EXPECT_EQ(at(0).status, ItemStatus::pending);
    EXPECT_FALSE(at(0).outputURL);
    EXPECT_FALSE(at(0).outputSize);
    EXPECT_EQ(at(0).revision, 0);
    EXPECT_NE(at(0).id, at(1).id);
}

TEST_F(AddingTest, MissingPathsAreLeftOut) {
    makeJpeg(dir / "a.jpg");
    EXPECT_EQ(addAndWait({dir / "gone.jpg", dir / "gone-folder/", dir / "a.jpg"}), 1u);
}

TEST_F(AddingTest, NamesThatAreNotUtf8KeepTheirBytes) {
    const fs::path odd = dir / std::string("caf\xE9 \xFF.jpg");
    makeJpeg(odd);
    EXPECT_EQ(addAndWait({dir.path()}), 1u);
    EXPECT_EQ(at(0).url.native(), odd.native());
}

// The walk as an unprivileged user sees it (root reads every folder), in a
// child process. Returns the file names found, one a line.
std::string walkAsUnprivileged(const fs::path& folder) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        std::string names;
        for (const auto& file : regularFilesUnder(folder)) names += file.filename().native() + "\n";
        const auto written = ::write(pipeEnds[1], names.data(), names.size());
        ::_exit(written == static_cast<ssize_t>(names.size()) ? 0 : 4);
    }
    ::close(pipeEnds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return out;
}

TEST_F(AddingTest, AnUnreadableFolderIsSkippedAndTheWalkGoesOn) {
    makeJpeg(dir / "p/a/1.jpg");
    makeJpeg(dir / "p/locked/2.jpg");
    makeJpeg(dir / "p/z/3.jpg");
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "p/locked", fs::perms::none);
    std::istringstream found(walkAsUnprivileged(dir / "p"));
    Names names;
    for (std::string line; std::getline(found, line);) names.push_back(line);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"1.jpg", "3.jpg"}));
}

class FakePanels : public Panels {
public:
    std::vector<fs::path> files;
    std::optional<fs::path> folder;
    int asked = 0;
    std::vector<fs::path> chooseFilesToAdd() override {
        ++asked;
        return files;
    }
    std::optional<fs::path> chooseOutputFolder() override {
        ++asked;
        return folder;
    }
};

TEST_F(AddingTest, OpenPanelAddsInThePanelsOrderAndCancelDoesNothing) {
    FakePanels panels;
    store->setPanels(&panels);
    store->openPanel();  // cancelled: nothing chosen
    EXPECT_EQ(panels.asked, 1);
    EXPECT_EQ(queue.runPending(), 0u);
    EXPECT_TRUE(store->items().empty());

    makeJpeg(dir / "z.jpg");
    makeJpeg(dir / "p/b.jpg");
    makeJpeg(dir / "p/a.jpg");
    panels.files = {dir / "z.jpg", dir / "p"};
    ChangeLog log;
    store->subscribe(&log);
    store->openPanel();
    ASSERT_TRUE(queue.runUntil([&] { return log.count(StoreField::items) == 1; }));
    EXPECT_EQ(fileNames(), (Names{"z.jpg", "a.jpg", "b.jpg"}));
    store->unsubscribe(&log);
}

}  // namespace
}  // namespace krumple::test
