#include "compare_view.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "busy_spinner.h"
#include "compare_pane.h"
#include "detail_text.h"
#include "display_decoder.h"
#include "elided_label.h"
#include "status_placeholder.h"
#include "text_styles.h"
#include "zoom_control.h"

namespace krumple {

namespace {

constexpr int headerMargin = 12;
constexpr int headerSpacing = 8;
constexpr int hintMargin = 8;
constexpr double separatorOpacity = 0.3;

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(0.2f);
    palette.setColor(QPalette::WindowText, colour);
    line->setPalette(palette);
    return line;
}

// Fills itself with a faint line colour; the one-point gap between the panes
// lets it show as their separator.
class SeparatorFill : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QColor line = TextStyle::secondary(*this);
        line.setAlphaF(float(line.alphaF() * separatorOpacity));
        QPainter(this).fillRect(rect(), line);
    }
};

std::optional<PixelSize> sizeOf(const DisplayLoads::Result& image) {
    return image ? std::optional(image->pixelSize) : std::nullopt;
}

}  // namespace

CompareView::CompareView(QWidget* parent) : QWidget(parent) {
    decoder_ = std::make_unique<DisplayDecoder>(this);
    DisplayDecoder* decoder = decoder_.get();
    loads_ = std::make_unique<DisplayLoads>(
        [decoder](const std::filesystem::path& file, std::stop_token stop, DisplayLoads::Deliver deliver) {
            decoder->start(file, std::move(stop), std::move(deliver));
        },
        [this] { setHover(std::nullopt); }, [this] { imagesChanged(); });
    build();
}

CompareView::CompareView(DisplayLoads::StartLoad start, QWidget* parent) : QWidget(parent) {
    loads_ = std::make_unique<DisplayLoads>(std::move(start), [this] { setHover(std::nullopt); },
                                            [this] { imagesChanged(); });
    build();
}

// The loads stop before the decoder is joined, so nothing more is wanted.
CompareView::~CompareView() {
    loads_.reset();
    decoder_.reset();
}

void CompareView::build() {
    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(headerMargin, headerMargin, headerMargin, headerMargin);
    header->setSpacing(headerSpacing);
    fileName_ = new ElidedLabel(Qt::ElideMiddle, Qt::AlignLeft, this);
    fileName_->setFont(TextStyle::headline(*this));
    fileName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    header->addWidget(fileName_, 1);
    auto* loupeLabel = new QLabel(tr("Loupe"), this);
    TextStyle::makeSecondary(*loupeLabel);
    header->addWidget(loupeLabel);
    zoomControl_ = new ZoomControl(this);
    header->addWidget(zoomControl_);
    column->addLayout(header);

    column->addWidget(divider(this));

    // The panes sit one point apart on a faint fill: the gap is the separator.
    auto* row = new SeparatorFill(this);
    auto* panes = new QHBoxLayout(row);
    panes->setContentsMargins(0, 0, 0, 0);
    panes->setSpacing(1);
    originalPane_ = new ComparePane(tr("Original"), new BusySpinner, row);
    convertedPlaceholder_ = new StatusPlaceholder;
    convertedPane_ = new ComparePane(tr("Converted"), convertedPlaceholder_, row);
    for (ComparePane* pane : {originalPane_, convertedPane_}) {
        panes->addWidget(pane, 1);
        connect(pane, &ComparePane::hoverChanged, this, &CompareView::setHover);
    }
    column->addWidget(row, 1);

    column->addWidget(divider(this));

    auto* hint = new QLabel(tr("Move the pointer over either image to inspect both at the same spot."), this);
    hint->setFont(TextStyle::caption(*this));
    hint->setAlignment(Qt::AlignHCenter);
    hint->setWordWrap(true);
    hint->setContentsMargins(hintMargin, hintMargin, hintMargin, hintMargin);
    TextStyle::makeSecondary(*hint);
    column->addWidget(hint);

    connect(zoomControl_, &ZoomControl::zoomChosen, this, &CompareView::setZoom);
    setZoom(zoom_);
    refreshTexts();
}

void CompareView::setItem(std::optional<ImageItem> item) {
    if (item == item_) return;
    item_ = std::move(item);
    if (item_) {
        loads_->show(*item_);
    } else {
        loads_->reset();
        setHover(std::nullopt);
        setZoom(4);
    }
    refreshTexts();
}

void CompareView::setZoom(double zoom) {
    if (zoom != 2 && zoom != 4 && zoom != 8) return;
    zoom_ = zoom;
    zoomControl_->setZoom(zoom);
    originalPane_->setZoom(zoom);
    convertedPane_->setZoom(zoom);
}

void CompareView::setHover(std::optional<geom::Point> n) {
    if (n == hover_) return;
    hover_ = n;
    originalPane_->setHover(n);
    convertedPane_->setHover(n);
}

void CompareView::imagesChanged() {
    originalPane_->setImage(loads_->original());
    convertedPane_->setImage(loads_->converted());
    refreshTexts();
}

void CompareView::refreshTexts() {
    if (!item_) {
        fileName_->setText({});
        originalPane_->setDetail(QStringLiteral(" "));
        convertedPane_->setDetail(QStringLiteral(" "));
        convertedPlaceholder_->setStatus(ItemStatus::pending);
        return;
    }
    fileName_->setText(displayName(item_->url));
    originalPane_->setDetail(originalDetail(*item_, sizeOf(loads_->original())));
    convertedPane_->setDetail(convertedDetail(*item_, sizeOf(loads_->converted())));
    convertedPlaceholder_->setStatus(item_->status);
}

}  // namespace krumple
