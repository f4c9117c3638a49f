#pragma once

#include <cstdint>
#include <optional>

#include <QLineEdit>

namespace krumple::app {

// A whole number in the user's locale, never with grouping separators (2048,
// not 2,048). It keeps what the user typed: no range is applied here.
class WholeNumberField : public QLineEdit {
    Q_OBJECT
public:
    explicit WholeNumberField(QWidget* parent = nullptr);

    std::optional<std::int64_t> value() const;
    // Shows `value` unless the text already reads as it.
    void setValue(std::int64_t value);

Q_SIGNALS:
    // The user typed a number.
    void valueEdited(std::int64_t value);

private:
    std::int64_t shown_ = 0;
};

}  // namespace krumple::app
