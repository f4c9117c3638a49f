#pragma once

#include <QString>
#include <QWidget>

namespace krumple {

// One line of text, shortened with "…" where the mode says when it doesn't
// fit; the whole text is then its tooltip. Digits are set in cells of one
// width (figures.h), so numbers that change don't jitter.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    ElidedLabel(Qt::TextElideMode mode, Qt::Alignment alignment, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return text_; }
    // What is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateToolTip();

    QString text_;
    Qt::TextElideMode mode_;
    Qt::Alignment alignment_;
};

}  // namespace krumple
