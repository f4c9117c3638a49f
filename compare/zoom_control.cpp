#include "zoom_control.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

#include <iterator>

namespace krumple {

namespace {
constexpr int zooms[] = {2, 4, 8};

// Joined buttons with rounded outer ends; the chosen one in the accent colour.
const char* const segmentStyle = R"(
QToolButton { border: 1px solid palette(mid); border-left: none; background: palette(button); padding: 2px 0; }
QToolButton:checked { background: palette(highlight); color: palette(highlighted-text); border-color: palette(highlight); }
QToolButton[segment="first"] { border-left: 1px solid palette(mid); border-top-left-radius: 5px; border-bottom-left-radius: 5px; }
QToolButton[segment="first"]:checked { border-left-color: palette(highlight); }
QToolButton[segment="last"] { border-top-right-radius: 5px; border-bottom-right-radius: 5px; }
QToolButton:focus { border: 2px solid palette(window-text); }
QToolButton:checked:focus { border: 2px solid palette(highlighted-text); }
)";
}  // namespace

ZoomControl::ZoomControl(QWidget* parent) : QWidget(parent), group_(new QButtonGroup(this)) {
    // The label is not shown; it names the control for assistive technology.
    setAccessibleName(tr("Loupe zoom"));
    // Three segments wide enough for the widest label, at any font size.
    setFixedWidth(3 * (fontMetrics().horizontalAdvance(tr("%1\u00D7").arg(8)) + 3 * fontMetrics().averageCharWidth()));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    setStyleSheet(QString::fromLatin1(segmentStyle));
    for (const int zoom : zooms) {
        auto* button = new QToolButton(this);
        if (zoom == zooms[0]) button->setProperty("segment", "first");
        if (zoom == std::end(zooms)[-1]) button->setProperty("segment", "last");
        button->setText(tr("%1\u00D7").arg(zoom));
        button->setAccessibleName(tr("Zoom %1\u00D7").arg(zoom));
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group_->addButton(button, zoom);
        row->addWidget(button);
    }
    group_->setExclusive(true);
    setZoom(4);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { Q_EMIT zoomChosen(double(id)); });
}

double ZoomControl::zoom() const { return double(group_->checkedId()); }

void ZoomControl::setZoom(double zoom) {
    for (const int z : zooms)
        if (double(z) == zoom) group_->button(z)->setChecked(true);
}

}  // namespace krumple
