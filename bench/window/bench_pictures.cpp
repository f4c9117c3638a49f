#include "bench_pictures.h"

#include <string>

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

namespace krumple::bench {
namespace {

// A photo-like picture: a soft gradient with grain, so encoders have work to do.
QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(40, 110, 190));
    sky.setColorAt(0.6, QColor(230, 190, 120));
    sky.setColorAt(1, QColor(60, 90, 40));
    painter.fillRect(image.rect(), sky);
    painter.end();
    QRandomGenerator grain(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int d = static_cast<int>(grain.bounded(24)) - 12;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + d, 0, 255), std::clamp(qGreen(p) + d, 0, 255),
                           std::clamp(qBlue(p) + d, 0, 255));
        }
    }
    return image;
}

}  // namespace

std::filesystem::path pictureFolder(const std::filesystem::path& cache, const char* name, int count, int side) {
    const std::filesystem::path folder = cache / (std::string(name) + "-" + std::to_string(count) + "x" +
                                                  std::to_string(side));
    const std::filesystem::path done = folder / ".complete";
    if (std::filesystem::exists(done)) return folder;

    std::filesystem::create_directories(folder);
    const std::filesystem::path first = folder / "photo-00001.jpg";
    picture(side, side * 2 / 3).save(QString::fromStdString(first.string()), "JPEG", 85);
    for (int i = 2; i <= count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "photo-%05d.jpg", i);
        std::filesystem::copy_file(first, folder / file, std::filesystem::copy_options::overwrite_existing);
    }
    std::filesystem::create_directories(done.parent_path());
    std::FILE* mark = std::fopen(done.c_str(), "w");
    if (mark) std::fclose(mark);
    return folder;
}

}  // namespace krumple::bench
