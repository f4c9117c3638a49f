#include "placeholder_view.h"

#include <QLabel>
#include <QVBoxLayout>

#include "look.h"
#include "symbol_label.h"

namespace krumple::app {

PlaceholderView::PlaceholderView(QWidget* parent) : QWidget(parent) {
    auto* text = new QLabel(tr("Select a file to compare"), this);
    text->setAlignment(Qt::AlignCenter);
    look::setForeground(text, look::secondary(text->palette()));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(new SymbolLabel(icons::Symbol::splitPanes, 40, this), 0, Qt::AlignHCenter);
    layout->addWidget(text);
    layout->addStretch(1);
}

}  // namespace krumple::app
