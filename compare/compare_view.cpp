#include "compare_view.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "busy_spinner.h"
#include "compare_pane.h"
#include "detail_text.h"
#include "elided_label.h"
#include "status_placeholder.h"
#include "text_styles.h"
#include "worker_thread.h"
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

CompareView::CompareView(QWidget* parent)
    : CompareView(DisplayLoads::StartLoad{}, StartMeasure{}, parent) {
    decoder_ = std::make_unique<WorkerThread>(this);
    measurer_ = std::make_unique<WorkerThread>(this);
    WorkerThread* decoder = decoder_.get();
    WorkerThread* measurer = measurer_.get();
    loads_ = std::make_unique<DisplayLoads>(
        [decoder](const std::filesystem::path& file, std::stop_token stop, DisplayLoads::Deliver deliver) {
            decoder->post(std::move(stop), [file, deliver = std::move(deliver)]() -> std::function<void()> {
                return [deliver, result = decodeForDisplay(file)] { deliver(result); };
            });
        },
        [this] { setHover(std::nullopt); }, [this] { imagesChanged(); });
    measure_ = [measurer](const ImageItem& item, std::stop_token stop, Deliver deliver) {
        if (!item.outputURL) return;
        measurer->post(stop, [source = item.url, output = *item.outputURL, stop,
                              deliver = std::move(deliver)]() -> std::function<void()> {
            return [deliver, result = measureDifference(source, output, stop)] { deliver(result); };
        });
    };
}

CompareView::CompareView(DisplayLoads::StartLoad start, StartMeasure measure, QWidget* parent)
    : QWidget(parent), measure_(std::move(measure)) {
    loads_ = std::make_unique<DisplayLoads>(std::move(start), [this] { setHover(std::nullopt); },
                                            [this] { imagesChanged(); });
    build();
}

// The loads stop before the workers are joined, so nothing more is wanted.
CompareView::~CompareView() {
    measureStop_.request_stop();
    loads_.reset();
    decoder_.reset();
    measurer_.reset();
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
    auto* toggle = new QToolButton(this);
    toggle->setText(tr("Difference"));
    toggle->setCheckable(true);
    toggle->setToolTip(tr("Show where the converted image differs from the original, as a heat map"));
    differenceToggle_ = toggle;
    header->addWidget(toggle);
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

    auto* hint = new QLabel(tr("Move the pointer over either image, or focus one and use the arrow keys, to inspect both at the same spot."), this);
    hint->setFont(TextStyle::caption(*this));
    hint->setAlignment(Qt::AlignHCenter);
    hint->setWordWrap(true);
    hint->setContentsMargins(hintMargin, hintMargin, hintMargin, hintMargin);
    TextStyle::makeSecondary(*hint);
    column->addWidget(hint);

    connect(zoomControl_, &ZoomControl::zoomChosen, this, &CompareView::setZoom);
    connect(toggle, &QAbstractButton::toggled, this, &CompareView::setShowDifference);
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
    updateDifference();
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
    showConverted();
    refreshTexts();
}

void CompareView::setShowDifference(bool show) {
    if (show == showDifference_) return;
    showDifference_ = show;
    {
        const QSignalBlocker quiet(differenceToggle_);
        differenceToggle_->setChecked(show);
    }
    updateDifference();
    refreshTexts();
}

std::optional<CompareView::OutputKey> CompareView::outputKey() const {
    if (!item_ || item_->status.kind() != ItemStatus::done || !item_->outputURL) return std::nullopt;
    return OutputKey{item_->id, item_->revision};
}

std::optional<double> CompareView::distance() const {
    const auto key = outputKey();
    if (!key) return std::nullopt;
    const auto known = distances_.find(*key);
    return known == distances_.end() ? std::nullopt : known->second;
}

// Measures the output shown when its distance isn't known yet, or when its
// heat map is wanted and gone; stops a measure of any other output.
void CompareView::updateDifference() {
    const auto key = outputKey();
    differenceToggle_->setEnabled(key.has_value());
    if (heat_ && heat_->key != key) heat_.reset();
    const auto known = key ? distances_.find(*key) : distances_.end();
    const bool wanted = key && (known == distances_.end() || (showDifference_ && !heat_ && known->second));
    if (measuring_ && (!wanted || measuring_ != key)) {
        measureStop_.request_stop();
        measuring_.reset();
    }
    if (wanted && !measuring_ && measure_) {
        measuring_ = key;
        measureStop_ = std::stop_source();
        measure_(*item_, measureStop_.get_token(), [this, k = *key](std::optional<MeasuredDifference> result) {
            if (measuring_ != k) return;
            measuring_.reset();
            distances_[k] = result ? std::optional(result->distance) : std::nullopt;
            if (result) heat_ = Heat{k, std::move(result->heat), {}, 0};
            showConverted();
            refreshTexts();
        });
    }
    showConverted();
}

void CompareView::showConverted() {
    const DisplayLoads::Result& converted = loads_->converted();
    DisplayLoads::Result shown = converted;
    if (showDifference_ && heat_ && converted) {
        if (heat_->over.isNull() || heat_->under != converted->image.cacheKey()) {
            heat_->over = overlaid(converted->image, heat_->map);
            heat_->under = converted->image.cacheKey();
        }
        shown = DisplayImage{heat_->over, converted->pixelSize};
    }
    const qint64 key = shown ? shown->image.cacheKey() : -1;
    if (key == shownConverted_) return;
    shownConverted_ = key;
    convertedPane_->setImage(shown);
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
    QString converted = convertedDetail(*item_, sizeOf(loads_->converted()), distance());
    // The map was asked for and takes seconds a megapixel: say it is coming.
    if (showDifference_ && measuring_ && measuring_ == outputKey())
        converted += QStringLiteral(" \u00B7 ") + tr("measuring the difference\u2026");
    convertedPane_->setDetail(converted);
    convertedPlaceholder_->setStatus(item_->status);
}

}  // namespace krumple
