// The read-only indicator: the operator cannot toggle it, the program can.
// Every gesture is also tried on a plain check box, which must toggle, so
// that a gesture that never reached the widget cannot pass for "ignored".
#include "detail/robox.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

namespace {

// On the indicator, at the left: the box may be wider than what it draws.
QPoint indicator(QCheckBox *box)
{
    return QPoint(6, box->height() / 2);
}

// The widgets stacked in a shown, active window.
bool host(QWidget &window, const QList<QWidget *> &widgets)
{
    auto *layout = new QVBoxLayout(&window);
    for (QWidget *widget : widgets)
        layout->addWidget(widget);
    window.show();
    const bool exposed = QTest::qWaitForWindowExposed(&window);
    window.activateWindow();
    return exposed;
}

} // namespace

class TestROBox : public QObject
{
    Q_OBJECT

private slots:
    void userCannotToggle()
    {
        const auto click = [](QCheckBox *box) { QTest::mouseClick(box, Qt::LeftButton, {}, indicator(box)); };
        const QList<std::pair<const char *, std::function<void(QCheckBox *)>>> gestures = {
            {"click", click},
            {"space", [](QCheckBox *box) { box->setFocus(), QTest::keyClick(box, Qt::Key_Space); }},
            {"drag", [](QCheckBox *box) {
                 const QPoint from(2, box->height() / 2);
                 QTest::mousePress(box, Qt::LeftButton, {}, from);
                 QTest::mouseMove(box, from + QPoint(2, 1));
                 QTest::mouseRelease(box, Qt::LeftButton, {}, indicator(box) + QPoint(3, 0));
             }},
            {"double-click", [click](QCheckBox *box) {
                 QTest::mouseDClick(box, Qt::LeftButton, {}, indicator(box));
                 click(box);
             }},
        };
        for (const auto &[name, gesture] : gestures) {
            for (bool initial : {false, true}) {
                QWidget window;
                auto *readOnly = new ROBox(QStringLiteral("Audio Mute"));
                auto *plain = new QCheckBox(QStringLiteral("plain"));
                QVERIFY(host(window, {readOnly, plain}));
                plain->setChecked(initial);
                QSignalSpy plainToggled(plain, &QCheckBox::toggled);
                gesture(plain);
                QVERIFY2(!plainToggled.isEmpty(), name);
                // The program sets it; the operator's gesture changes nothing,
                // and leaves it not pressed down.
                readOnly->setChecked(initial);
                QCOMPARE(readOnly->isChecked(), initial);
                QSignalSpy toggled(readOnly, &QCheckBox::toggled);
                QSignalSpy clicked(readOnly, &QCheckBox::clicked);
                gesture(readOnly);
                QVERIFY2(readOnly->isChecked() == initial && !readOnly->isDown(), name);
                QVERIFY2(toggled.size() + clicked.size() == 0, name);
            }
        }
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
