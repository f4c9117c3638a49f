#include "compare_pane.h"

#include <QLabel>
#include <QVBoxLayout>

#include "elided_label.h"
#include "image_area.h"
#include "text_styles.h"

namespace krumple {

namespace {
constexpr int spacing = 4;
constexpr int titleTop = 8;
constexpr int areaInset = 8;
}  // namespace

ComparePane::ComparePane(const QString& title, QWidget* placeholder, QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(spacing);
    column->setContentsMargins(0, titleTop, 0, 0);

    title_ = new QLabel(title, this);
    title_->setTextFormat(Qt::PlainText);
    title_->setFont(TextStyle::subheadlineSemibold(*this));
    title_->setAlignment(Qt::AlignHCenter);
    column->addWidget(title_);

    detail_ = new ElidedLabel(Qt::ElideRight, Qt::AlignHCenter, this);
    detail_->setFont(TextStyle::caption(*this));
    TextStyle::makeSecondary(*detail_);
    column->addWidget(detail_);

    auto* inset = new QVBoxLayout;
    inset->setContentsMargins(areaInset, areaInset, areaInset, areaInset);
    area_ = new ImageArea(placeholder, this);
    area_->setAccessibleName(tr("%1 picture").arg(title));
    area_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    inset->addWidget(area_);
    column->addLayout(inset, 1);

    connect(area_, &ImageArea::hoverChanged, this, &ComparePane::hoverChanged);
}

void ComparePane::setDetail(const QString& detail) { detail_->setText(detail); }

void ComparePane::setImage(const std::optional<DisplayImage>& image) {
    area_->setImage(image ? std::optional<QImage>(image->image) : std::nullopt);
}

void ComparePane::setZoom(double zoom) { area_->setZoom(zoom); }
void ComparePane::setHover(std::optional<geom::Point> n) { area_->setHover(n); }

QString ComparePane::title() const { return title_->text(); }
QString ComparePane::detail() const { return detail_->text(); }
bool ComparePane::hasImage() const { return area_->hasImage(); }

}  // namespace krumple
