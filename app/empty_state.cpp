#include "empty_state.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "look.h"
#include "symbol_label.h"

namespace krumple::app {

EmptyState::EmptyState(QWidget* parent) : QWidget(parent) {
    auto* symbol = new SymbolLabel(icons::Symbol::photoStack, 44, this);

    auto* title = new QLabel(tr("Drop images or folders here"), this);
    title->setFont(look::title3());
    title->setAlignment(Qt::AlignCenter);

    auto* hint = new QLabel(tr("PNG, JPEG, HEIC, TIFF, WebP and anything else your system can read"), this);
    hint->setFont(look::callout());
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    look::setForeground(hint, look::secondary(palette()));

    addButton_ = new QPushButton(tr("Add Images\u2026"), this);
    connect(addButton_, &QPushButton::clicked, this, &EmptyState::addRequested);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->addStretch(1);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addWidget(title);
    layout->addWidget(hint);
    layout->addWidget(addButton_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

}  // namespace krumple::app
