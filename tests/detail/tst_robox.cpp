// The read-only indicator: the operator cannot toggle it, the program can.
// Every gesture is also tried on a plain check box, which must toggle, so
// that a gesture that never reached the widget cannot pass for "ignored".
#include "robox.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <functional>

namespace {

using Gesture = std::function<void(QCheckBox *)>;

// On the indicator, at the left: the box may be wider than what it draws.
QPoint indicator(QCheckBox *box)
{
    return QPoint(6, box->height() / 2);
}

void click(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator(box));
}

void space(QCheckBox *box)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
}

void drag(QCheckBox *box)
{
    const QPoint from(2, box->height() / 2);
    const QPoint to = indicator(box) + QPoint(3, 0);
    QTest::mousePress(box, Qt::LeftButton, {}, from);
    QTest::mouseMove(box, from + QPoint(2, 1));
    QTest::mouseMove(box, to);
    QTest::mouseRelease(box, Qt::LeftButton, {}, to);
}

} // namespace

Q_DECLARE_METATYPE(Gesture)

class TestROBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void userCannotToggle_data();
    void userCannotToggle();
    void doubleClickCannotToggle();
    void programSetsState();
    void constructors();

private:
    QWidget *host = nullptr;
    ROBox *readOnly = nullptr;
    QCheckBox *plain = nullptr;
};

void TestROBox::initTestCase()
{
    host = new QWidget;
    auto *layout = new QVBoxLayout(host);
    readOnly = new ROBox(QStringLiteral("Audio Mute"), host);
    plain = new QCheckBox(QStringLiteral("plain"), host);
    layout->addWidget(readOnly);
    layout->addWidget(plain);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host));
    host->activateWindow();
}

void TestROBox::cleanupTestCase()
{
    delete host;
}

void TestROBox::userCannotToggle_data()
{
    QTest::addColumn<Gesture>("gesture");
    QTest::addColumn<bool>("initial");

    QTest::newRow("click on unchecked") << Gesture(click) << false;
    QTest::newRow("click on checked") << Gesture(click) << true;
    QTest::newRow("space on unchecked") << Gesture(space) << false;
    QTest::newRow("space on checked") << Gesture(space) << true;
    QTest::newRow("drag over unchecked") << Gesture(drag) << false;
    QTest::newRow("drag over checked") << Gesture(drag) << true;
}

void TestROBox::userCannotToggle()
{
    QFETCH(Gesture, gesture);
    QFETCH(bool, initial);

    plain->setChecked(initial);
    gesture(plain);
    QCOMPARE(plain->isChecked(), !initial);

    readOnly->setChecked(initial);
    QSignalSpy toggled(readOnly, &QCheckBox::toggled);
    QSignalSpy clicked(readOnly, &QCheckBox::clicked);
    gesture(readOnly);
    QCOMPARE(readOnly->isChecked(), initial);
    QVERIFY(!readOnly->isDown());
    QCOMPARE(toggled.size(), 0);
    QCOMPARE(clicked.size(), 0);
}

void TestROBox::doubleClickCannotToggle()
{
    for (bool initial : {false, true}) {
        readOnly->setChecked(initial);
        QSignalSpy clicked(readOnly, &QCheckBox::clicked);
        QTest::mouseDClick(readOnly, Qt::LeftButton, {}, indicator(readOnly));
        click(readOnly);
        QCOMPARE(readOnly->isChecked(), initial);
        QCOMPARE(clicked.size(), 0);
    }
}

void TestROBox::programSetsState()
{
    readOnly->setChecked(false);
    QSignalSpy toggled(readOnly, &QCheckBox::toggled);
    readOnly->setChecked(true);
    QVERIFY(readOnly->isChecked());
    readOnly->setCheckState(Qt::Unchecked);
    QVERIFY(!readOnly->isChecked());
    readOnly->setCheckState(Qt::Checked);
    QCOMPARE(readOnly->checkState(), Qt::Checked);
    QCOMPARE(toggled.size(), 3);
    QCOMPARE(toggled.at(0).at(0).toBool(), true);
    QCOMPARE(toggled.at(1).at(0).toBool(), false);
}

void TestROBox::constructors()
{
    QWidget parent;
    ROBox withText(QStringLiteral("Zoom"), &parent);
    QCOMPARE(withText.text(), QStringLiteral("Zoom"));
    QCOMPARE(withText.parentWidget(), &parent);
    QVERIFY(!withText.isChecked());
    ROBox bare(&parent);
    QCOMPARE(bare.text(), QString());
    QCOMPARE(bare.parentWidget(), &parent);
    QVERIFY(qobject_cast<QCheckBox *>(&bare));
}

QTEST_MAIN(TestROBox)
#include "tst_robox.moc"
