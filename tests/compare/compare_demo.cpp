// Shows the comparison of two image files as the window would, for looking at
// it by eye (not a test):
//   compare_demo ORIGINAL CONVERTED [X Y [ZOOM]]
// With X and Y (fractions of the original's image), the pointer is moved
// there once both images are shown.

#include <filesystem>
#include <optional>

#include <QApplication>
#include <QCursor>
#include <QTimer>

#include "compare_pane.h"
#include "compare_view.h"
#include "image_area.h"

using namespace krumple;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) return 2;

    ImageItem item;
    item.id = ItemId::random();
    item.url = args[1].toStdString();
    item.originalSize = std::int64_t(std::filesystem::file_size(item.url));
    item.status = ItemStatus::done;
    item.outputURL = args[2].toStdString();
    item.outputSize = std::int64_t(std::filesystem::file_size(*item.outputURL));
    item.revision = 1;

    CompareView view;
    view.resize(1100, 640);
    view.move(20, 20);
    view.show();
    view.setItem(item);
    if (args.size() >= 6) view.setZoom(args[5].toDouble());

    std::optional<geom::Point> target;
    if (args.size() >= 5) target = geom::Point{args[3].toDouble(), args[4].toDouble()};
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (!target || !view.originalPane()->hasImage() || !view.convertedPane()->hasImage()) return;
        ImageArea* area = view.originalPane()->imageArea();
        const geom::Point at = geom::loupeCentre(area->fitted(), *target);
        QCursor::setPos(area->mapToGlobal(QPointF(at.x, at.y)).toPoint());
        poll->stop();
    });
    poll->start(100);
    return app.exec();
}
