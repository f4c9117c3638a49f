// The window as assistive technology and low-vision users meet it: names,
// rows' texts, visible focus and readable colours.

#include <QAccessible>

#include "app_fixture.h"
#include "image_area.h"

namespace krumple::app {
namespace {

// What a screen reader calls a widget: its name, or for a combo box (whose
// name on Linux is its current text) the label that names it.
QString heardName(QAccessibleInterface* iface) {
    if (iface->role() != QAccessible::ComboBox) return iface->text(QAccessible::Name);
    for (const auto& [label, relation] : iface->relations(QAccessible::Label))
        if (!label->text(QAccessible::Name).isEmpty()) return label->text(QAccessible::Name);
    return {};
}

// The largest contrast between a pixel of `before` and the same pixel of
// `after`: how visible a change of look is.
double largestChange(const QImage& before, const QImage& after) {
    double most = 1;
    for (int y = 0; y < std::min(before.height(), after.height()); ++y)
        for (int x = 0; x < std::min(before.width(), after.width()); ++x)
            if (before.pixel(x, y) != after.pixel(x, y))
                most = std::max(most, look::contrast(QColor(before.pixel(x, y)), QColor(after.pixel(x, y))));
    return most;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyControlIsNamedByWhatItIsNotItsValue() {
        AppFixture f;
        QVERIFY(f.addAndWait(f.images(2)));
        MainWindow window(f.store(), ThumbCache::shared());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int checked = 0;
        for (QWidget* w : window.findChildren<QWidget*>()) {
            if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&window)) continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            QVERIFY(iface);
            const QString name = heardName(iface);
            // Lists and tables report their name as their value too.
            const bool hasValue = iface->role() != QAccessible::List && iface->role() != QAccessible::Table;
            QVERIFY2(!name.isEmpty() && !(hasValue && name == iface->text(QAccessible::Value)),
                     qPrintable(QStringLiteral("%1 %2: \"%3\"").arg(w->metaObject()->className(), w->objectName(), name)));
            ++checked;
        }
        QVERIFY(checked >= 12);
        // Tab follows the panel's rows: Strip metadata (the Size row) comes before Save to, which
        // comes before the Files row's check boxes.
        QStringList tabbed;
        for (QWidget* w = window.findChild<SettingsPanel*>()->nextInFocusChain(); tabbed.size() < 40; w = w->nextInFocusChain())
            if (auto* box = qobject_cast<QCheckBox*>(w)) tabbed << box->text();
        QVERIFY2(tabbed.indexOf(QStringLiteral("Strip metadata")) < tabbed.indexOf(QStringLiteral("Keep only smaller files")) &&
                     tabbed.indexOf(QStringLiteral("Keep only smaller files")) < tabbed.indexOf(QStringLiteral("Keep dates")),
                 qPrintable(tabbed.join(QStringLiteral(" | "))));
        // The format picker reads as radio buttons, the chosen one checked, its value the choice.
        auto* format = window.findChildren<SegmentedPicker*>().front();
        QAccessibleInterface* picker = QAccessible::queryAccessibleInterface(format);
        QCOMPARE(picker->childCount(), static_cast<int>(format->labels().size()));
        QAccessibleInterface* jpeg = picker->child(static_cast<int>(format->labels().indexOf(QStringLiteral("JPEG"))));
        QCOMPARE(jpeg->role(), QAccessible::RadioButton);
        QVERIFY(jpeg->state().checked);
        QCOMPARE(picker->text(QAccessible::Value).section(QLatin1Char(','), 0, 0), QStringLiteral("JPEG"));
        // Pressing a segment chooses it, as a click would.
        picker->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(f.store().format(), OutputFormat::available().front());
    }

    void rowsSayHowEachConversionWent() {
        AppFixture f;
        QVERIFY(f.addAndWait(f.images(1)));
        MainWindow window(f.store(), ThumbCache::shared());
        window.show();
        auto* view = window.findChild<QListView*>(QStringLiteral("fileListView"));
        const auto rowText = [view] {
            return QAccessible::queryAccessibleInterface(view)->child(0)->text(QAccessible::Name);
        };
        QVERIFY2(rowText().startsWith(QStringLiteral("img1.png, ")) && rowText().endsWith(QStringLiteral("Waiting")),
                 qPrintable(rowText()));
        f.store().startConversion();
        QVERIFY(f.waitForBatchEnd());
        const ImageItem& item = f.store().items().front();
        QVERIFY(item.outputSize);
        // The savings the row paints, in its words.
        QVERIFY2(rowText().contains(rowStatus(item, window.palette()).text), qPrintable(rowText()));
    }

    void focusIsSeenOnEveryKindOfControl() {
        AppFixture f;
        QVERIFY(f.addAndWait(f.images(1)));
        MainWindow window(f.store(), ThumbCache::shared());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QList<QWidget*> controls{window.findChild<QListView*>(QStringLiteral("fileListView"))};
        for (auto* button : window.findChildren<QPushButton*>())
            if (button->text().startsWith(QStringLiteral("Convert"))) controls << button;
        controls << window.findChildren<QCheckBox*>().front();
        // Focus moved by the keyboard, when styles draw their focus frames.
        window.setAttribute(Qt::WA_KeyboardFocusChange);
        // A batch started from Convert ends with focus on Convert again.
        QPushButton* convert = static_cast<QPushButton*>(controls[1]);
        convert->setFocus(Qt::TabFocusReason);
        QTest::keyClick(convert, Qt::Key_Space);
        QVERIFY(f.store().isRunning());
        QVERIFY(f.waitForBatchEnd());
        QVERIFY(convert->hasFocus());
        QVERIFY(convert->accessibleDescription().contains(QStringLiteral("1 of 1 converted")));
        for (QWidget* control : controls) {
            window.setFocus();
            const QImage unfocused = control->grab().toImage();
            control->setFocus(Qt::TabFocusReason);
            QVERIFY(control->hasFocus());
            const QImage focused = control->grab().toImage();
            QVERIFY2(largestChange(unfocused, focused) >= 3.0,
                     qPrintable(QStringLiteral("%1: %2").arg(control->metaObject()->className()).arg(largestChange(unfocused, focused))));
        }
    }

    void keyboardMovesTheLoupeAndTheDivider() {
        ImageArea area(new QWidget);
        QImage picture(100, 80, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        area.setImage(picture);
        QCOMPARE(area.focusPolicy(), Qt::StrongFocus);
        std::optional<std::optional<geom::Point>> heard;
        connect(&area, &ImageArea::hoverChanged, &area, [&](std::optional<geom::Point> n) {
            heard = n;
            area.setHover(n);
        });
        QTest::keyClick(&area, Qt::Key_Right);  // from the middle
        QVERIFY(heard && *heard);
        QCOMPARE(**heard, (geom::Point{0.52, 0.5}));
        QTest::keyClick(&area, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(**heard, (geom::Point{0.52, 0.4}));
        QTest::keyClick(&area, Qt::Key_Escape);
        QVERIFY(heard && !*heard);

        AppFixture f;
        MainWindow window(f.store(), ThumbCache::shared());
        window.resize(1400, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* panes = window.findChild<QSplitter*>();
        const int start = panes->sizes().front();
        const auto run = [&window](const QString& text) {
            for (QAction* action : window.findChildren<QAction*>())
                if (action->text() == text) return action->trigger();
            QFAIL(qPrintable(text));
        };
        run(QStringLiteral("Wider List"));
        QVERIFY(panes->sizes().front() > start);
        run(QStringLiteral("Reset Panes"));
        QCOMPARE(panes->sizes().front(), start);
    }

    void textColoursReadOnTheirBackgrounds_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void textColoursReadOnTheirBackgrounds() {
        QFETCH(bool, dark);
        QPalette palette = QApplication::palette();
        if (dark) {
            palette.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
            palette.setColor(QPalette::Base, QColor(0x2a, 0x2a, 0x2a));
            palette.setColor(QPalette::WindowText, Qt::white);
            palette.setColor(QPalette::Text, Qt::white);
            palette.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        }
        palette = look::withReadableHighlight(palette);
        const QColor base = palette.color(QPalette::Base), window = palette.color(QPalette::Window);
        for (const QColor& text : {look::green(palette), look::orange(palette), look::red(palette), look::secondary(palette)}) {
            QVERIFY2(look::contrast(look::over(text, base), base) >= 4.5, qPrintable(text.name()));
            QVERIFY2(look::contrast(look::over(text, window), window) >= 4.5, qPrintable(text.name()));
        }
        // The chosen segment's and the Convert button's label on the accent.
        QVERIFY(look::contrast(palette.color(QPalette::HighlightedText), look::accent(palette)) >= 4.5);
    }
};

}  // namespace krumple::app

QTEST_MAIN(krumple::app::AccessibilityTest)
#include "accessibility_test.moc"
