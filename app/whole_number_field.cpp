#include "whole_number_field.h"

#include <QLocale>
#include <QValidator>

namespace krumple::app {
namespace {

QLocale ungrouped() {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

std::optional<std::int64_t> parse(const QString& text) {
    bool ok = false;
    const qlonglong number = ungrouped().toLongLong(text.trimmed(), &ok);
    if (!ok) return std::nullopt;
    return static_cast<std::int64_t>(number);
}

class WholeNumberValidator : public QValidator {
public:
    WholeNumberValidator(const std::int64_t& inForce, QObject* parent) : QValidator(parent), inForce_(inForce) {}

    State validate(QString& input, int&) const override {
        const QString text = input.trimmed();
        if (text.isEmpty() || text == ungrouped().negativeSign()) return Intermediate;
        return parse(text) ? Acceptable : Invalid;
    }
    // Left empty or half typed: the number in force comes back.
    void fixup(QString& input) const override { input = ungrouped().toString(static_cast<qlonglong>(inForce_)); }

private:
    const std::int64_t& inForce_;
};

}  // namespace

WholeNumberField::WholeNumberField(QWidget* parent) : QLineEdit(parent) {
    setValidator(new WholeNumberValidator(shown_, this));
    setAlignment(Qt::AlignCenter);
    // The window takes dropped files; a path must not land in here as text.
    setAcceptDrops(false);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (const auto number = parse(text)) {
            shown_ = *number;
            Q_EMIT valueEdited(*number);
        }
    });
    setText(ungrouped().toString(qlonglong{0}));
}

std::optional<std::int64_t> WholeNumberField::value() const { return parse(text()); }

void WholeNumberField::setValue(std::int64_t number) {
    shown_ = number;
    if (value() == number) return;
    setText(ungrouped().toString(static_cast<qlonglong>(number)));
}

}  // namespace krumple::app
