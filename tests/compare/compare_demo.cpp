// Shows the comparison of two image files as the window would, for looking at
// it by eye (not a test):
//   compare_demo [--difference] ORIGINAL CONVERTED [X Y [ZOOM]]
// --difference shows the heat map over the converted image. With X and Y (fractions of the original's image), the pointer is moved
// there once both images are shown.

#include <QApplication>
#include <QCursor>
#include <QTimer>

#include "compare_fixture.h"

using namespace krumple;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool difference = args.removeAll(QStringLiteral("--difference")) > 0;
    if (args.size() < 3) return 2;
    ImageItem shown = item(args[1].toStdString(), args[2].toStdString());
    shown.originalSize = std::int64_t(std::filesystem::file_size(shown.url));
    shown.outputSize = std::int64_t(std::filesystem::file_size(*shown.outputURL));

    CompareView view;
    view.resize(1100, 640);
    view.move(20, 20);
    view.show();
    view.setItem(shown);
    view.setShowDifference(difference);
    if (args.size() >= 6) view.setZoom(args[5].toDouble());
    if (args.size() < 5) return app.exec();

    const geom::Point target{args[3].toDouble(), args[4].toDouble()};
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!view.originalPane()->hasImage() || !view.convertedPane()->hasImage()) return;
        ImageArea* area = view.originalPane()->imageArea();
        const geom::Point at = geom::loupeCentre(area->fitted(), target);
        QCursor::setPos(area->mapToGlobal(QPointF(at.x, at.y)).toPoint());
        poll.stop();
    });
    poll.start(100);
    return app.exec();
}
