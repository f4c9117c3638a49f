#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include <QObject>

class QMimeData;
class QWidget;

namespace krumple::app {

// Local files named by a drag: nullopt when the drag offers no file URL at all
// (plain text, an image without a location, web links), else the paths of the
// file URLs that name a local file, in the drag's order (possibly none). Paths
// keep their bytes as the URLs spelled them.
std::optional<std::vector<std::filesystem::path>> droppedFiles(const QMimeData& data);

// Makes `widget` (and everything in it that takes no drops itself) one drop
// target for files and folders. While an acceptable drag hovers, `hovering`
// is true; each drop emits `dropped` once, also when no local path came of it.
class DropTarget : public QObject {
    Q_OBJECT
public:
    explicit DropTarget(QWidget* widget);

    bool isHovering() const { return hovering_; }

Q_SIGNALS:
    void hoveringChanged(bool hovering);
    void dropped(const std::vector<std::filesystem::path>& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHovering(bool on);
    bool hovering_ = false;
};

}  // namespace krumple::app
