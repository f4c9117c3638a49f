// Adding files and folders: order, filtering, de-duplication.

#include <sys/wait.h>
#include <unistd.h>

#include "folder_walk.h"
#include "test_support.h"

namespace krumple::test {
namespace {

using Names = std::vector<std::string>;

class AddingTest : public StoreTest {};

TEST_F(AddingTest, AFolderIsWalkedInNaturalOrderByFullPath) {
    for (const char* name : {"b.png", "a10.png", "a2.png", "A3.png", "img5.png", "IMG5.png", "sub/img10.png", "sub/img2.png"})
        makePng(dir / "p" / name);
    EXPECT_EQ(addAndWait({dir / "p"}), 8u);
    // Digits by value, case ignored, names that collate equal by their bytes.
    EXPECT_EQ(fileNames(), (Names{"a2.png", "A3.png", "a10.png", "b.png", "IMG5.png", "img5.png", "img2.png", "img10.png"}));
    EXPECT_EQ(at(0).originalSize, static_cast<std::int64_t>(fs::file_size(dir / "p/a2.png")));
}

// Pictures by content, and damaged ones by signature or name: those fail at
// once with their reason instead of vanishing from the count.
TEST_F(AddingTest, OnlyImagesByContentAndNoHiddenNames) {
    makeJpeg(dir / "p/photo.jpg");
    writeText(dir / "p/notes.jpg", "not a picture");  // named as one: damaged
    writeText(dir / "p/notes.txt", "not a picture");
    writeText(dir / "p/cut", std::string("\x89PNG\r\n\x1A\n\0\0", 10));  // a PNG's first bytes, nothing more
    makeJpeg(dir / "p/no_extension");
    makeJpeg(dir / "p/.hidden.jpg");
    makeJpeg(dir / "p/.cache/inside.jpg");
    EXPECT_EQ(addAndWait({dir / "p", dir / "gone.jpg"}), 4u);
    EXPECT_EQ(fileNames(), (Names{"cut", "no_extension", "notes.jpg", "photo.jpg"}));
    for (const std::size_t damaged : {0u, 2u})
        EXPECT_EQ(at(damaged).status, ItemStatus::failure(ConvertError::unreadable)) << at(damaged).url;
    EXPECT_EQ(at(3).status, ItemStatus::pending);
    // A hidden file named directly is probed like any other.
    EXPECT_EQ(addAndWait({dir / "p/.hidden.jpg"}), 1u);
}

TEST_F(AddingTest, EachFileOnceWhateverItsSpellingOrRequest) {
    for (const char* name : {"p/a.jpg", "p/b.jpg", "p/c.jpg", "q/d.jpg"}) makeJpeg(dir / name);
    // A file named before its folder keeps its place; a second spelling adds nothing.
    EXPECT_EQ(addAndWait({dir / "p/b.jpg", dir.path() / "p" / "." / "b.jpg", dir / "p"}), 3u);
    EXPECT_EQ(fileNames(), (Names{"b.jpg", "a.jpg", "c.jpg"}));
    EXPECT_EQ(at(0).url, dir / "p/b.jpg");  // kept as given, not standardized
    EXPECT_EQ(addAndWait({dir / "p/sub/../a.jpg"}), 0u);

    // Two requests out at once, both finding d.jpg.
    std::size_t finished = 0;
    store->add({dir / "q"}, [&](std::size_t) { ++finished; });
    store->add({dir / "q/d.jpg"}, [&](std::size_t) { ++finished; });
    ASSERT_TRUE(queue.runUntil([&] { return finished == 2; }));
    EXPECT_EQ(store->items().size(), 4u);
}

TEST_F(AddingTest, AnUnreadableFolderIsSkippedAndTheWalkGoesOn) {
    // Whichever of a and b is read first, its locked folder is walked next
    // while the other still waits: a walk that stopped there would lose it.
    for (const char* name : {"p/a/1.jpg", "p/b/2.jpg"}) writeText(dir / name, "x");
    for (const char* name : {"p/a/locked", "p/b/locked"}) {
        fs::create_directory(dir / name);
        fs::permissions(dir / name, fs::perms::none);
    }
    fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    // Root reads every folder: the walk runs as nobody, in a child process.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        ::_exit(static_cast<int>(regularFilesUnder(dir / "p").size()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "status " << status;
}

}  // namespace
}  // namespace krumple::test
