// The read-only indicator: the operator cannot toggle it, the program can.
// Every gesture is also tried on a plain check box, which must toggle, so
// that a gesture that never reached the widget cannot pass for "ignored".
#include "detail/robox.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

using Gesture = std::function<void(QCheckBox *)>;
Q_DECLARE_METATYPE(Gesture)

// On the indicator, at the left: the box may be wider than what it draws.
static QPoint indicator(QCheckBox *box)
{
    return QPoint(6, box->height() / 2);
}

// The widgets stacked in a shown, active window.
static bool host(QWidget &window, const QList<QWidget *> &widgets)
{
    auto *layout = new QVBoxLayout(&window);
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    window.show();
    const bool exposed = QTest::qWaitForWindowExposed(&window);
    window.activateWindow();
    return exposed;
}

class TestROBox : public QObject
{
    Q_OBJECT

private slots:
    void userCannotToggle_data()
    {
        QTest::addColumn<Gesture>("gesture");
        QTest::addColumn<bool>("initial");
        const Gesture click = [](QCheckBox *box) { QTest::mouseClick(box, Qt::LeftButton, {}, indicator(box)); };
        const Gesture space = [](QCheckBox *box) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
        };
        const Gesture drag = [](QCheckBox *box) {
            const QPoint from(2, box->height() / 2);
            QTest::mousePress(box, Qt::LeftButton, {}, from);
            QTest::mouseMove(box, from + QPoint(2, 1));
            QTest::mouseRelease(box, Qt::LeftButton, {}, indicator(box) + QPoint(3, 0));
        };
        const Gesture doubleClick = [click](QCheckBox *box) {
            QTest::mouseDClick(box, Qt::LeftButton, {}, indicator(box));
            click(box);
        };
        for (bool initial : {false, true}) {
            const char *state = initial ? "checked" : "unchecked";
            QTest::addRow("click on %s", state) << click << initial;
            QTest::addRow("space on %s", state) << space << initial;
            QTest::addRow("drag over %s", state) << drag << initial;
            QTest::addRow("double-click on %s", state) << doubleClick << initial;
        }
    }
    void userCannotToggle()
    {
        QFETCH(Gesture, gesture);
        QFETCH(bool, initial);
        QWidget window;
        auto *readOnly = new ROBox(QStringLiteral("Audio Mute"));
        auto *plain = new QCheckBox(QStringLiteral("plain"));
        QVERIFY(host(window, {readOnly, plain}));
        plain->setChecked(initial);
        QSignalSpy plainToggled(plain, &QCheckBox::toggled);
        gesture(plain);
        QVERIFY(!plainToggled.isEmpty());

        // The program sets it; the operator's gesture changes nothing, and
        // leaves it not pressed down.
        readOnly->setChecked(initial);
        QCOMPARE(readOnly->isChecked(), initial);
        QSignalSpy toggled(readOnly, &QCheckBox::toggled);
        QSignalSpy clicked(readOnly, &QCheckBox::clicked);
        gesture(readOnly);
        QCOMPARE(readOnly->isChecked(), initial);
        QVERIFY(!readOnly->isDown());
        QCOMPARE(toggled.size() + clicked.size(), 0);
    }

    // A click must not trap the keyboard: Tab goes on from where it was.
    void tabPassesOverIt()
    {
        QWidget window;
        auto *before = new QLineEdit;
        auto *readOnly = new ROBox(QStringLiteral("Audio Mute"));
        auto *after = new QLineEdit;
        QVERIFY(host(window, {before, readOnly, after}));
        before->setFocus();
        QTRY_VERIFY(before->hasFocus());
        QTest::mouseClick(readOnly, Qt::LeftButton, {}, indicator(readOnly));
        QVERIFY(!readOnly->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(after->hasFocus());
    }
};

QTEST_MAIN(TestROBox)
#include "tst_robox.moc"
