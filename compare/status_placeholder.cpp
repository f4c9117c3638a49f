#include "status_placeholder.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "busy_spinner.h"
#include "failure_text.h"
#include "text_styles.h"

namespace krumple {

namespace {

const QColor failureRed(0xE0, 0x2B, 0x2B);

// A warning triangle with an exclamation mark, drawn in `colour`.
class WarningSign : public QWidget {
public:
    explicit WarningSign(QColor colour, QWidget* parent = nullptr) : QWidget(parent), colour_(colour) {
        setFixedSize(16, 16);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath triangle;
        triangle.moveTo(8, 1.5);
        triangle.lineTo(15, 14.5);
        triangle.lineTo(1, 14.5);
        triangle.closeSubpath();
        p.setPen(QPen(colour_, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(triangle);
        p.setPen(QPen(colour_, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 6), QPointF(8, 10));
        p.drawPoint(QPointF(8, 12.4));
    }

private:
    QColor colour_;
};

}  // namespace

StatusPlaceholder::StatusPlaceholder(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* column = new QVBoxLayout(this);
    column->setAlignment(Qt::AlignCenter);

    spinner_ = new BusySpinner(this);
    column->addWidget(spinner_, 0, Qt::AlignHCenter);

    text_ = new QLabel(this);
    text_->setAlignment(Qt::AlignCenter);
    TextStyle::makeSecondary(*text_);
    column->addWidget(text_, 0, Qt::AlignHCenter);

    failure_ = new QWidget(this);
    auto* row = new QHBoxLayout(failure_);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new WarningSign(failureRed, failure_), 0, Qt::AlignTop);
    failureText_ = new QLabel(failure_);
    failureText_->setWordWrap(true);
    failureText_->setTextFormat(Qt::PlainText);
    QPalette red = failureText_->palette();
    red.setColor(QPalette::WindowText, failureRed);
    failureText_->setPalette(red);
    row->addWidget(failureText_, 1);
    column->addWidget(failure_, 0, Qt::AlignHCenter);

    setStatus(ItemStatus::pending);
}

void StatusPlaceholder::setStatus(const ItemStatus& status) {
    const auto kind = status.kind();
    spinner_->setVisible(kind == ItemStatus::converting || kind == ItemStatus::done);
    text_->setVisible(kind == ItemStatus::pending || kind == ItemStatus::converting);
    text_->setText(kind == ItemStatus::converting ? tr("Converting\u2026") : tr("Not converted yet"));
    failure_->setVisible(kind == ItemStatus::failed);
    failureText_->setText(failureText(status.reason()));
}

}  // namespace krumple
