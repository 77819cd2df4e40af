// Saving and restoring icon positions: the exact bytes of poslist.pon, and
// damaged or missing files that must change nothing and cost nothing.
#include "cmonitor.h"
#include "mcontroller.h"
#include "miconview.h"
#include "monitormodel.h"
#include "rsthread.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray entry(quint8 address, qint32 x, qint32 y)
{
    QByteArray bytes;
    bytes.append(char(address));
    for (qint32 value : {x, y})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char(quint32(value) >> shift));
    return bytes;
}

QByteArray count(quint32 n)
{
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char(n >> shift));
    return bytes;
}

// The real view; the test only needs to see and set places, which QListView
// keeps protected.
class PlacingView : public MIconView
{
public:
    using QListView::rectForIndex;
    using QListView::setPositionForIndex;
};

} // namespace

class TestMIconView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void savedBytes();
    void roundTrip();
    void damagedFileRestoresNothing_data();
    void damagedFileRestoresNothing();
    void missingFileRestoresNothing();
    void emptyListKeepsFile();
    void unlistedEntriesIgnored();
    void laterEntryForAnAddressWins();
    void withoutControllerNothingHappens();

private:
    // Lists the monitors in the controller and the model, without a bus.
    void list(const QList<quint8> &addresses);
    QModelIndex indexOf(quint8 address) const;
    QPoint positionOf(quint8 address) const;
    void place(quint8 address, const QPoint &position);
    QByteArray fileBytes() const;
    void writeFile(const QByteArray &bytes) const;

    QTemporaryDir dir;
    std::unique_ptr<MController> controller;
    std::unique_ptr<MonitorModel> model;
    std::unique_ptr<PlacingView> view;
};

void TestMIconView::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
}

void TestMIconView::init()
{
    QFile::remove(MIconView::positionFilePath());
    controller = std::make_unique<MController>();
    model = std::make_unique<MonitorModel>(controller.get());
    view = std::make_unique<PlacingView>();
    // As the main window sets it up.
    view->setDragEnabled(true);
    view->setViewMode(QListView::IconMode);
    view->setIconSize(QSize(60, 60));
    view->setGridSize(QSize(80, 80));
    view->setSpacing(10);
    view->setMovement(QListView::Free);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setWrapping(true);
    view->setResizeMode(QListView::Fixed);
    view->setModel(model.get());
    view->setModelColumn(MonitorModel::IconColumn);
    view->resize(400, 300);
}

void TestMIconView::cleanup()
{
    view.reset();
    model.reset();
    controller.reset();
}

void TestMIconView::list(const QList<quint8> &addresses)
{
    for (quint8 address : addresses) {
        auto *monitor = new CMonitor(address);
        monitor->serialNumber = QStringLiteral("SN%1").arg(address);
        const int row = controller->transactionThread()->addMonitor(monitor);
        QVERIFY(row >= 0);
        QVERIFY(model->insertRows(row, 1));
    }
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
}

QModelIndex TestMIconView::indexOf(quint8 address) const
{
    for (int row = 0; row < controller->monitorCount(); ++row)
        if (controller->monitorAt(row)->address == address)
            return model->index(row, MonitorModel::IconColumn);
    return QModelIndex();
}

QPoint TestMIconView::positionOf(quint8 address) const
{
    return view->rectForIndex(indexOf(address)).topLeft();
}

void TestMIconView::place(quint8 address, const QPoint &position)
{
    view->setPositionForIndex(position, indexOf(address));
    QCOMPARE(positionOf(address), position);
}

QByteArray TestMIconView::fileBytes() const
{
    QFile file(MIconView::positionFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void TestMIconView::writeFile(const QByteArray &bytes) const
{
    QFile file(MIconView::positionFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

void TestMIconView::savedBytes()
{
    QCOMPARE(MIconView::positionFilePath(), dir.path() + QStringLiteral("/poslist.pon"));
    list({12, 3, 7});
    place(3, QPoint(10, 20));
    place(7, QPoint(-5, 300));
    place(12, QPoint(100000, -7));
    view->savePositions();
    const QByteArray expected = QByteArray::fromHex("00000003"
                                                    "0c" "000186a0" "fffffff9"
                                                    "07" "fffffffb" "0000012c"
                                                    "03" "0000000a" "00000014");
    QCOMPARE(expected.size(), 31);
    QCOMPARE(fileBytes(), expected);

    // Saving again replaces the whole file.
    place(7, QPoint(1, 2));
    view->savePositions();
    QCOMPARE(fileBytes().size(), 31);
    QCOMPARE(fileBytes().mid(13, 9), entry(7, 1, 2));
}

void TestMIconView::roundTrip()
{
    list({3, 7, 12});
    const QList<QPoint> saved = {QPoint(15, 25), QPoint(-40, 90), QPoint(200, -1)};
    place(3, saved.at(0));
    place(7, saved.at(1));
    place(12, saved.at(2));
    view->savePositions();

    place(3, QPoint(0, 0));
    place(7, QPoint(0, 0));
    place(12, QPoint(0, 0));
    view->restorePositions();
    QCOMPARE(positionOf(3), saved.at(0));
    QCOMPARE(positionOf(7), saved.at(1));
    QCOMPARE(positionOf(12), saved.at(2));

    // A fresh view over the same list finds the same places.
    view = std::make_unique<PlacingView>();
    view->setViewMode(QListView::IconMode);
    view->setMovement(QListView::Free);
    view->setResizeMode(QListView::Fixed);
    view->setModel(model.get());
    view->setModelColumn(MonitorModel::IconColumn);
    QVERIFY(positionOf(7) != saved.at(1));
    view->restorePositions();
    QCOMPARE(positionOf(3), saved.at(0));
    QCOMPARE(positionOf(7), saved.at(1));
    QCOMPARE(positionOf(12), saved.at(2));
}

void TestMIconView::damagedFileRestoresNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray entries = entry(12, 500, 600) + entry(7, 700, 800) + entry(3, 900, 1000);
    const QByteArray valid = count(3) + entries;
    QTest::newRow("cut inside the last entry") << valid.left(30);
    QTest::newRow("cut after the first entry") << valid.left(13);
    QTest::newRow("count only") << count(3);
    QTest::newRow("half a count") << QByteArray::fromHex("0000");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("huge count, two entries") << count(0xFFFFFFFF) + entries.left(18);
    QTest::newRow("count one too high") << count(4) + entries;
    QTest::newRow("largest signed count") << count(0x7FFFFFFF) + entries;
    QTest::newRow("garbage") << QByteArray("this is not a position file at all\n");
}

void TestMIconView::damagedFileRestoresNothing()
{
    QFETCH(QByteArray, bytes);

    list({3, 7, 12});
    const QPoint a(11, 12), b(13, 14), c(15, 16);
    place(3, a);
    place(7, b);
    place(12, c);
    writeFile(bytes);

    QElapsedTimer timer;
    timer.start();
    view->restorePositions();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(positionOf(3), a);
    QCOMPARE(positionOf(7), b);
    QCOMPARE(positionOf(12), c);
    QCOMPARE(fileBytes(), bytes);
}

void TestMIconView::missingFileRestoresNothing()
{
    list({3, 7});
    place(3, QPoint(33, 44));
    place(7, QPoint(55, 66));
    view->restorePositions();
    QCOMPARE(positionOf(3), QPoint(33, 44));
    QCOMPARE(positionOf(7), QPoint(55, 66));
    QVERIFY(!QFile::exists(MIconView::positionFilePath()));
}

void TestMIconView::emptyListKeepsFile()
{
    view->savePositions();
    QVERIFY(!QFile::exists(MIconView::positionFilePath()));

    const QByteArray earlier = count(1) + entry(9, 1, 2);
    writeFile(earlier);
    view->savePositions();
    QCOMPARE(fileBytes(), earlier);
}

void TestMIconView::unlistedEntriesIgnored()
{
    list({9, 20});
    place(9, QPoint(0, 0));
    place(20, QPoint(80, 0));
    writeFile(count(2) + entry(9, 250, -30) + entry(5, 400, 400));
    view->restorePositions();
    QCOMPARE(positionOf(9), QPoint(250, -30));
    QCOMPARE(positionOf(20), QPoint(80, 0));

    // A count smaller than the file holds reads only the counted entries.
    writeFile(count(1) + entry(20, 1, 1) + entry(9, 2, 2));
    view->restorePositions();
    QCOMPARE(positionOf(20), QPoint(1, 1));
    QCOMPARE(positionOf(9), QPoint(250, -30));
}

void TestMIconView::laterEntryForAnAddressWins()
{
    list({4});
    writeFile(count(2) + entry(4, 10, 10) + entry(4, 20, 30));
    view->restorePositions();
    QCOMPARE(positionOf(4), QPoint(20, 30));
}

void TestMIconView::withoutControllerNothingHappens()
{
    // A model that is no monitor model.
    QStringListModel names({QStringLiteral("a"), QStringLiteral("b")});
    view->setModel(&names);
    view->setModelColumn(0);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->savePositions();
    QVERIFY(!QFile::exists(MIconView::positionFilePath()));
    const QByteArray file = count(2) + entry(1, 300, 300) + entry(0, 300, 300);
    writeFile(file);
    const QPoint before = view->rectForIndex(names.index(0)).topLeft();
    view->restorePositions();
    QCOMPARE(view->rectForIndex(names.index(0)).topLeft(), before);

    // A monitor model without a controller.
    MonitorModel orphan(nullptr);
    view->setModel(&orphan);
    view->savePositions();
    view->restorePositions();
    QCOMPARE(fileBytes(), file);
    view->setModel(model.get());
}

QTEST_MAIN(TestMIconView)
#include "tst_miconview.moc"
