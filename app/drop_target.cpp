#include "drop_target.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace krumple::app {
namespace {

const QString uriListType = QStringLiteral("text/uri-list");

// One line of text/uri-list; nullopt when it is not a file URL.
std::optional<std::optional<std::filesystem::path>> fileFromUri(QByteArray line) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) return std::nullopt;
    if (!line.toLower().startsWith("file:")) return std::nullopt;
    QByteArray rest = line.mid(5);
    if (rest.startsWith("//")) {
        // file://host/path: only this machine's files can be read.
        const qsizetype slash = rest.indexOf('/', 2);
        const QByteArray host = rest.mid(2, slash < 0 ? -1 : slash - 2);
        if (!host.isEmpty() && host.toLower() != "localhost") return std::optional<std::filesystem::path>();
        rest = slash < 0 ? QByteArray() : rest.mid(slash);
    }
    // Decoding the raw bytes keeps names that aren't valid UTF-8 intact.
    const QByteArray bytes = QByteArray::fromPercentEncoding(rest);
    if (!bytes.startsWith('/')) return std::optional<std::filesystem::path>();
    return std::optional<std::filesystem::path>(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace

std::optional<std::vector<std::filesystem::path>> droppedFiles(const QMimeData& data) {
    if (!data.hasFormat(uriListType)) return std::nullopt;
    bool anyFileUrl = false;
    std::vector<std::filesystem::path> paths;
    for (const QByteArray& line : data.data(uriListType).split('\n')) {
        const auto file = fileFromUri(line);
        if (!file) continue;
        anyFileUrl = true;
        if (*file) paths.push_back(std::move(**file));
    }
    if (!anyFileUrl) return std::nullopt;
    return paths;
}

DropTarget::DropTarget(QWidget* widget) : QObject(widget) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

void DropTarget::setHovering(bool on) {
    if (hovering_ == on) return;
    hovering_ = on;
    Q_EMIT hoveringChanged(on);
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (drag->mimeData() && droppedFiles(*drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            setHovering(true);
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        setHovering(false);
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        setHovering(false);
        const auto files = drop->mimeData() ? droppedFiles(*drop->mimeData()) : std::nullopt;
        if (!files) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        Q_EMIT dropped(*files);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

}  // namespace krumple::app
