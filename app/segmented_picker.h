#pragma once

#include <QStringList>
#include <QWidget>

namespace krumple::app {

// A row of joined segments of which one is chosen, like a group of radio
// buttons drawn as one control. Arrow keys move the choice.
class SegmentedPicker : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedPicker(QWidget* parent = nullptr);

    void setLabels(const QStringList& labels);
    const QStringList& labels() const { return labels_; }
    int currentIndex() const { return current_; }
    // Shows `index` as chosen (-1 for none) without emitting `picked`.
    void setCurrentIndex(int index);
    QRect segmentRect(int index) const;
    // Chooses `index` as the user would, emitting `picked`.
    void choose(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The user chose a segment.
    void picked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int segmentWidth() const;

    QStringList labels_;
    int current_ = -1;
};

}  // namespace krumple::app
