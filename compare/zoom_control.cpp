#include "zoom_control.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

namespace krumple {

namespace {
constexpr int controlWidth = 130;
constexpr int zooms[] = {2, 4, 8};
}  // namespace

ZoomControl::ZoomControl(QWidget* parent) : QWidget(parent), group_(new QButtonGroup(this)) {
    // The label is not shown; it names the control for assistive technology.
    setAccessibleName(tr("Loupe zoom"));
    setFixedWidth(controlWidth);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (const int zoom : zooms) {
        auto* button = new QToolButton(this);
        button->setText(tr("%1\u00D7").arg(zoom));
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group_->addButton(button, zoom);
        row->addWidget(button);
    }
    group_->setExclusive(true);
    setZoom(4);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { emit zoomChosen(double(id)); });
}

double ZoomControl::zoom() const { return double(group_->checkedId()); }

void ZoomControl::setZoom(double zoom) {
    for (const int z : zooms)
        if (double(z) == zoom) group_->button(z)->setChecked(true);
}

}  // namespace krumple
