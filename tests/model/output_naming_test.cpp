// Output naming: candidates, reservations, what counts as taken.

#include "test_support.h"

namespace krumple::test {
namespace {

class NamingTest : public StoreTest {
protected:
    NamingTest() { store->setFormat(OutputFormat::heic); }

    static ImageItem itemAt(const fs::path& url) {
        ImageItem item;
        item.id = ItemId::random();
        item.url = url;
        return item;
    }
    // Names a list as a batch start would: every source taken, one reserved set.
    std::vector<fs::path> nameAll(const std::vector<ImageItem>& items) {
        OutputReservations reservations;
        for (const auto& it : items) reservations.sources.insert(standardizedPath(it.url));
        std::vector<fs::path> names;
        for (const auto& it : items) names.push_back(store->assignOutputURL(it, reservations).value_or("(none)"));
        return names;
    }
};

TEST_F(NamingTest, AlongsideTheFirstInListOrderGetsThePlainName) {
    EXPECT_EQ(nameAll({itemAt(dir / "a.png"), itemAt(dir / "a.jpg")}),
              (std::vector<fs::path>{dir / "a.heic", dir / "a krumpled.heic"}));
}

TEST_F(NamingTest, FolderModeCountsUpPastCollisions) {
    const fs::path out = dir / "out";
    fs::create_directory(out);
    store->setOutputFolder(out);
    store->setOutputMode(OutputMode::folder);
    EXPECT_EQ(nameAll({itemAt(dir / "1/x.jpg"), itemAt(dir / "2/x.jpg"), itemAt(dir / "3/x.jpg")}),
              (std::vector<fs::path>{out / "x.heic", out / "x krumpled.heic", out / "x krumpled 2.heic"}));
}

TEST_F(NamingTest, FolderModeWithoutAFolderNamesNothing) {
    store->setOutputMode(OutputMode::folder);
    OutputReservations reservations;
    EXPECT_FALSE(store->assignOutputURL(itemAt(dir / "a.jpg"), reservations));
    EXPECT_TRUE(reservations.reserved.empty());
}

TEST_F(NamingTest, ASourceIsNeverItsOwnOutput) {
    EXPECT_EQ(nameAll({itemAt(dir / "b.heic")}), std::vector<fs::path>{dir / "b krumpled.heic"});
}

TEST_F(NamingTest, ExistingFilesAndFoldersAreTaken) {
    writeText(dir / "a.heic", "someone's file");
    fs::create_directory(dir / "a krumpled.heic");
    fs::create_symlink(dir / "nowhere", dir / "a krumpled 2.heic");  // a dangling link is something too
    EXPECT_EQ(nameAll({itemAt(dir / "a.jpg")}), std::vector<fs::path>{dir / "a krumpled 3.heic"});
}

TEST_F(NamingTest, AnItemMayRewriteItsOwnEarlierOutput) {
    writeText(dir / "a.heic", "from an earlier batch");
    ImageItem item = itemAt(dir / "a.jpg");
    item.outputURL = dir / "a.heic";
    EXPECT_EQ(nameAll({item}), std::vector<fs::path>{dir / "a.heic"});
}

TEST_F(NamingTest, AnotherListedSourceIsNeverOverwritten) {
    // a.heic was a's output once, and has since been added as a source itself.
    writeText(dir / "a.heic", "now a source");
    ImageItem a = itemAt(dir / "a.png");
    a.outputURL = dir / "a.heic";
    const ImageItem listedOutput = itemAt(dir / "a.heic");
    EXPECT_EQ(nameAll({a, listedOutput}),
              (std::vector<fs::path>{dir / "a krumpled.heic", dir / "a krumpled 2.heic"}));
    // Even when the other source does not exist on disk (yet).
    fs::remove(dir / "a.heic");
    EXPECT_EQ(nameAll({itemAt(dir / "b.png"), itemAt(dir / "b.heic")}),
              (std::vector<fs::path>{dir / "b krumpled.heic", dir / "b krumpled 2.heic"}));
}

TEST_F(NamingTest, SpellingsOfOneFolderShareTheReservations) {
    const fs::path dotted = dir.path() / "." / "a.jpg";
    const auto names = nameAll({itemAt(dir / "a.png"), itemAt(dotted)});
    EXPECT_EQ(names, (std::vector<fs::path>{dir / "a.heic", dir / "a krumpled.heic"}));
}

TEST_F(NamingTest, NamesThatAreNotUtf8KeepTheirBytes) {
    const std::string odd = "caf\xE9";
    EXPECT_EQ(nameAll({itemAt(dir / (odd + ".png"))}), std::vector<fs::path>{dir / (odd + ".heic")});
}

class FolderPanel : public Panels {
public:
    std::optional<fs::path> folder;
    std::vector<fs::path> chooseFilesToAdd() override { return {}; }
    std::optional<fs::path> chooseOutputFolder() override { return folder; }
};

TEST_F(NamingTest, ChoosingAFolderSwitchesToFolderModeAndCancelKeepsAll) {
    FolderPanel panel;
    store->setPanels(&panel);
    store->chooseOutputFolder();
    EXPECT_EQ(store->outputMode(), OutputMode::alongside);
    EXPECT_FALSE(store->outputFolder());

    panel.folder = dir / "out";
    store->chooseOutputFolder();
    EXPECT_EQ(store->outputMode(), OutputMode::folder);
    EXPECT_EQ(store->outputFolder(), dir / "out");

    store->setOutputMode(OutputMode::alongside);
    panel.folder.reset();
    store->chooseOutputFolder();
    EXPECT_EQ(store->outputMode(), OutputMode::alongside);
    EXPECT_EQ(store->outputFolder(), dir / "out");
}

}  // namespace
}  // namespace krumple::test
