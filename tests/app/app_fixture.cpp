#include "app_fixture.h"

#include <QImage>
#include <QRandomGenerator>
#include <QTest>

#include "paths.h"

namespace krumple::app::testing {

AppFixture::AppFixture()
    : executor_(&mainThread_), store_(std::make_shared<Store>(executor_.executor())) {
    folder_ = pathFromQt(dir_.path());
    store_->setPanels(&panels);
    // The tests pick JPEG: the quickest encoder there is.
    store_->setFormat(OutputFormat::jpeg);
}

AppFixture::~AppFixture() {
    executor_.close();
    store_.reset();
}

std::filesystem::path AppFixture::writeImage(const std::string& name, int side, QColor tint) {
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator noise(static_cast<quint32>(std::hash<std::string>{}(name)));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int grain = static_cast<int>(noise.bounded(60));
            image.setPixel(x, y, qRgb(std::min(255, tint.red() + grain), std::min(255, tint.green() + grain),
                                      std::min(255, tint.blue() + grain)));
        }
    const std::filesystem::path path = folder_ / name;
    std::filesystem::create_directories(path.parent_path());
    image.save(QString::fromStdString(path.string()), "PNG");
    return path;
}

std::vector<std::filesystem::path> AppFixture::writeImages(int count, const std::string& stem) {
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < count; ++i) paths.push_back(writeImage(stem + std::to_string(i + 1) + ".png"));
    return paths;
}

bool AppFixture::addAndWait(const std::vector<std::filesystem::path>& paths) {
    auto done = std::make_shared<bool>(false);
    store_->add(paths, [done](std::size_t) { *done = true; });
    return QTest::qWaitFor([done] { return *done; }, 20000);
}

bool AppFixture::waitForBatchEnd() {
    return QTest::qWaitFor([this] { return !store_->isRunning(); }, 120000);
}

}  // namespace krumple::app::testing
