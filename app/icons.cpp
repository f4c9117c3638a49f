#include "icons.h"

#include <QHash>
#include <QPainter>

// The resource file is compiled into a static library; nothing would pull it
// in without this call.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace krumple::app::icons {
namespace {

struct Names {
    const char* theme;
    const char* file;
};

Names names(Symbol symbol) {
    switch (symbol) {
    case Symbol::splitPanes: return {"view-dual-symbolic", ":/icons/split-panes.svg"};
    case Symbol::photoStack: return {"image-x-generic-symbolic", ":/icons/photo-stack.svg"};
    case Symbol::warning: return {"dialog-warning-symbolic", ":/icons/warning.svg"};
    }
    return {"", ""};
}

void ensureResources() {
    static const bool done = (initIconResources(), true);
    (void)done;
}

}  // namespace

QIcon bundled(Symbol symbol) {
    ensureResources();
    return QIcon(QString::fromLatin1(names(symbol).file));
}

QIcon icon(Symbol symbol) {
    return QIcon::fromTheme(QString::fromLatin1(names(symbol).theme), bundled(symbol));
}

QPixmap tinted(Symbol symbol, QSize size, const QColor& color, qreal devicePixelRatio) {
    // Rows repaint often; keep what was drawn.
    static QHash<QString, QPixmap> drawn;
    const QString key = QStringLiteral("%1/%2x%3/%4/%5")
                            .arg(static_cast<int>(symbol))
                            .arg(size.width())
                            .arg(size.height())
                            .arg(color.rgba(), 0, 16)
                            .arg(devicePixelRatio);
    if (const auto found = drawn.constFind(key); found != drawn.constEnd()) return *found;

    QPixmap pixmap = icon(symbol).pixmap(size, devicePixelRatio);
    if (pixmap.isNull()) return pixmap;
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRectF(QPointF(0, 0), pixmap.deviceIndependentSize()), color);
    painter.end();
    drawn.insert(key, pixmap);
    return pixmap;
}

QIcon applicationIcon() {
    ensureResources();
    return QIcon(QStringLiteral(":/icons/krumple.svg"));
}

}  // namespace krumple::app::icons
