#include "footer_bar.h"

#include <algorithm>
#include <limits>

#include <QBoxLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "footer_texts.h"
#include "look.h"

namespace krumple::app {
namespace {

// The prominent style: the accent colour flat behind the label (the style's
// gradient would lighten it below a readable contrast). Focus draws a ring
// in the label's colour inside the edge.
void makeProminent(QPushButton* button) {
    const QPalette& pal = button->palette();
    const QColor fill = look::accent(pal), text = pal.color(QPalette::HighlightedText);
    const QColor idle = look::over(QColor(fill.red(), fill.green(), fill.blue(), 90), pal.color(QPalette::Window));
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: 2px solid %1; border-radius: 5px;"
                       " padding: 3px 12px; }"
                       "QPushButton:focus { border-color: %2; }"
                       "QPushButton:pressed { background: %3; border-color: %3; }"
                       "QPushButton:disabled { background: %4; color: %5; border-color: %4; }")
            .arg(fill.name(), text.name(), fill.darker(120).name(), idle.name(),
                 look::readableOn(pal.color(QPalette::WindowText), idle).name()));
    button->setDefault(true);
    QFont font = button->font();
    font.setWeight(QFont::DemiBold);
    button->setFont(font);
}

int clampedInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

FooterBar::FooterBar(Store& store, QWidget* parent)
    : QWidget(parent),
      store_(store),
      progress_(new QProgressBar(this)),
      headline_(new ElidedLabel(Qt::ElideRight, Qt::AlignLeft, this)),
      converted_(new ElidedLabel(Qt::ElideRight, Qt::AlignLeft, this)),
      clear_(new QPushButton(tr("Clear"), this)),
      convert_(new QPushButton(this)),
      cancel_(new QPushButton(tr("Cancel"), this)),
      watch_(store, [this](const StoreChange& change) {
          if (change.field != StoreField::selection) refresh();
      }) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    progress_->setTextVisible(false);
    progress_->setAccessibleName(tr("Conversion progress"));
    progress_->setMaximumHeight(8);
    column->addWidget(progress_);

    auto* totals = new QVBoxLayout;
    totals->setSpacing(2);
    totals->addWidget(headline_);
    totals->addWidget(converted_);
    converted_->setFont(look::caption());
    look::setForeground(converted_, look::secondary(palette()));

    // The totals beside the buttons, or above them when they would be cut.
    line_ = new QBoxLayout(QBoxLayout::LeftToRight);
    line_->setSpacing(10);
    line_->addLayout(totals);
    buttons_ = new QHBoxLayout;
    buttons_->setSpacing(10);
    buttons_->addStretch(1);
    buttons_->addWidget(clear_);
    buttons_->addWidget(cancel_);
    buttons_->addWidget(convert_);
    line_->addLayout(buttons_, 1);
    column->addLayout(line_);

    makeProminent(convert_);
    connect(clear_, &QPushButton::clicked, this, [this] { store_.clear(); });
    connect(convert_, &QPushButton::clicked, this, [this] { store_.startConversion(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { store_.cancelRunTask(); });

    refresh();
}

void FooterBar::refresh() {
    const bool running = store_.isRunning();
    const bool hasItems = !store_.items().empty();
    // Cancel stands where Convert stood: focus goes across and back with it.
    const bool started = running && !wasRunning_, ended = !running && wasRunning_;
    const bool focusHere = convert_->hasFocus() || cancel_->hasFocus();
    wasRunning_ = running;

    progress_->setVisible(running);
    progress_->setRange(0, clampedInt(std::max<std::int64_t>(store_.total(), 1)));
    progress_->setValue(clampedInt(std::min(store_.completed(), std::max<std::int64_t>(store_.total(), 1))));

    clear_->setVisible(hasItems && !running);
    cancel_->setVisible(running);
    convert_->setVisible(!running);
    convert_->setText(convertLabel(store_.items().size()));
    convert_->setEnabled(store_.canConvert());
    convert_->setToolTip(convertHelp(store_.outputMode(), store_.outputFolder().has_value()));

    refreshTotals();
    if (started && focusHere) cancel_->setFocus(Qt::OtherFocusReason);
    // The totals are read out with the button that takes focus back at the end.
    if (ended) convert_->setAccessibleDescription(converted_->isVisible() ? headline_->text() + QStringLiteral(". ") +
                                                                                 converted_->text()
                                                                           : headline_->text());
    if (ended && focusHere) convert_->setFocus(Qt::OtherFocusReason);
}

void FooterBar::refreshTotals() {
    const Totals now = totals(store_);
    const bool saving = !now.converted.isEmpty();
    headline_->setText(now.headline);
    // Before anything is converted the one line is dimmed; the saving stands out.
    headline_->setFont(saving ? look::semibold(look::callout()) : font());
    look::setForeground(headline_, saving ? look::primary(palette()) : look::secondary(palette()));
    converted_->setText(now.converted);
    converted_->setVisible(saving);
    placeTotals();
}

void FooterBar::placeTotals() {
    const auto textWidth = [](const ElidedLabel* label) {
        return label->isVisibleTo(label->parentWidget()) ? QFontMetrics(label->font()).horizontalAdvance(label->text()) : 0;
    };
    const QMargins margins = layout()->contentsMargins();
    const int needed = std::max(textWidth(headline_), textWidth(converted_)) + line_->spacing() +
                       buttons_->sizeHint().width() + margins.left() + margins.right();
    const auto direction = needed > width() ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    if (line_->direction() != direction) line_->setDirection(direction);
}

void FooterBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeTotals();
}

}  // namespace krumple::app
