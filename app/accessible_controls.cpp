#include "accessible_controls.h"

#include <vector>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QPointer>
#include <QSlider>

#include "segmented_picker.h"

namespace krumple::app {
namespace {

class SegmentAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SegmentAccessible(SegmentedPicker* picker, int index) : picker_(picker), index_(index) {}

    bool isValid() const override { return picker_ && index_ < picker_->labels().size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(picker_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name && isValid() ? picker_->labels().at(index_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) return {};
        const QRect local = picker_->segmentRect(index_);
        return {picker_->mapToGlobal(local.topLeft()), local.size()};
    }
    QAccessible::Role role() const override { return QAccessible::RadioButton; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) return s;
        s.checkable = true;
        s.checked = picker_->currentIndex() == index_;
        s.focusable = true;
        s.focused = s.checked && picker_->hasFocus();
        s.disabled = !picker_->isEnabled();
        s.invisible = !picker_->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && isValid() && picker_->isEnabled()) picker_->choose(index_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<SegmentedPicker> picker_;
    int index_;
};

class PickerAccessible final : public QAccessibleWidget {
public:
    explicit PickerAccessible(SegmentedPicker* picker) : QAccessibleWidget(picker, QAccessible::Grouping) {}
    ~PickerAccessible() override {
        for (const QAccessible::Id id : segments_) QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return static_cast<int>(picker()->labels().size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        while (static_cast<int>(segments_.size()) <= index)
            segments_.push_back(QAccessible::registerAccessibleInterface(
                new SegmentAccessible(picker(), static_cast<int>(segments_.size()))));
        return QAccessible::accessibleInterface(segments_[static_cast<std::size_t>(index)]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child) return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i)
            if (child(i)->rect().contains(x, y)) return child(i);
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        return picker()->hasFocus() && picker()->currentIndex() >= 0 ? child(picker()->currentIndex()) : nullptr;
    }
    // The chosen segment as the group's value: "HEIC, 1 of 6".
    QString text(QAccessible::Text t) const override {
        const int current = picker()->currentIndex();
        if (t == QAccessible::Value && current >= 0)
            return QCoreApplication::translate("Accessible", "%1, %2 of %3")
                .arg(picker()->labels().at(current))
                .arg(current + 1)
                .arg(picker()->labels().size());
        return QAccessibleWidget::text(t);
    }

private:
    SegmentedPicker* picker() const { return static_cast<SegmentedPicker*>(widget()); }
    mutable std::vector<QAccessible::Id> segments_;
};

// A slider whose position stands for something else: its value, range and
// step as the "accessible*" properties say.
class MappedSliderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit MappedSliderAccessible(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return widget()->property("accessibleValueText").toString();
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return widget()->property("accessibleValue"); }
    void setCurrentValue(const QVariant& value) override {
        // From the mapped scale back to positions, linearly between the ends.
        auto* s = static_cast<QSlider*>(widget());
        const double low = minimumValue().toDouble(), high = maximumValue().toDouble();
        if (high <= low) return;
        const double along = (value.toDouble() - low) / (high - low);
        s->setValue(s->minimum() + static_cast<int>(along * (s->maximum() - s->minimum()) + 0.5));
    }
    QVariant maximumValue() const override { return widget()->property("accessibleMaximum"); }
    QVariant minimumValue() const override { return widget()->property("accessibleMinimum"); }
    QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* picker = qobject_cast<SegmentedPicker*>(object)) return new PickerAccessible(picker);
    if (auto* slider = qobject_cast<QSlider*>(object); slider && slider->property("accessibleValue").isValid())
        return new MappedSliderAccessible(slider);
    return nullptr;
}

}  // namespace

void installAccessibleControls() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

void announceChoice(QWidget* picker, int from, int to) {
    if (!QAccessible::isActive()) return;
    QAccessible::State checked;
    checked.checked = true;
    for (const int index : {from, to}) {
        if (index < 0) continue;
        QAccessibleStateChangeEvent change(picker, checked);
        change.setChild(index);
        QAccessible::updateAccessibility(&change);
    }
    QAccessibleValueChangeEvent value(picker, to);
    QAccessible::updateAccessibility(&value);
    if (picker->hasFocus() && to >= 0) {
        QAccessibleEvent focus(picker, QAccessible::Focus);
        focus.setChild(to);
        QAccessible::updateAccessibility(&focus);
    }
}

}  // namespace krumple::app
