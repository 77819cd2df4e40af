// Saving and restoring icon positions: the exact bytes of poslist.pon, and
// damaged or missing files that must change nothing and cost nothing.
#include "mcontroller.h"
#include "miconview.h"
#include "monitormodel.h"
#include "rsthread.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// Big-endian, as the file holds them.
QByteArray be32(quint32 n)
{
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(char(n >> shift));
    return bytes;
}

QByteArray entry(quint8 address, qint32 x, qint32 y)
{
    return char(address) + be32(quint32(x)) + be32(quint32(y));
}

QByteArray fileBytes()
{
    QFile file(MIconView::positionFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QByteArray &bytes)
{
    QFile file(MIconView::positionFilePath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The real view; the test needs to see and set places, which QListView
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

    QTemporaryDir dir;
    std::unique_ptr<MController> controller;
    std::unique_ptr<MonitorModel> model;
    std::unique_ptr<PlacingView> view;

    // Lists the monitors in the controller and the model, without a bus.
    void list(const QList<quint8> &addresses)
    {
        for (quint8 address : addresses) {
            const int row = controller->transactionThread()->addMonitor(new CMonitor(address));
            QVERIFY(row >= 0 && model->insertRows(row, 1));
        }
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }
    // Places the monitors by row, and checks they went there.
    void place(const QList<QPoint> &places)
    {
        for (int row = 0; row < places.size(); ++row)
            view->setPositionForIndex(places.at(row), model->index(row, MonitorModel::IconColumn));
        QCOMPARE(positions(), places);
    }
    QList<QPoint> positions() const
    {
        QList<QPoint> places;
        for (int row = 0; row < controller->monitorCount(); ++row)
            places << view->rectForIndex(model->index(row, MonitorModel::IconColumn)).topLeft();
        return places;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid() && QDir::setCurrent(dir.path())); }
    void init()
    {
        QFile::remove(MIconView::positionFilePath());
        controller = std::make_unique<MController>();
        model = std::make_unique<MonitorModel>(controller.get());
        view = std::make_unique<PlacingView>();
        // As the main window sets it up.
        view->setViewMode(QListView::IconMode);
        view->setGridSize(QSize(80, 80));
        view->setMovement(QListView::Free);
        view->setWrapping(true);
        view->setResizeMode(QListView::Fixed);
        view->setModel(model.get());
        view->setModelColumn(MonitorModel::IconColumn);
        view->resize(400, 300);
    }
    void cleanup()
    {
        view.reset();
        model.reset();
        controller.reset();
    }

    void savedBytesAndRoundTrip()
    {
        QCOMPARE(MIconView::positionFilePath(), dir.path() + QStringLiteral("/poslist.pon"));
        list({12, 3, 7});
        QCOMPARE(controller->monitorAt(0)->address, quint8(3)); // rows in address order
        const QList<QPoint> saved = {QPoint(10, 20), QPoint(-5, 300), QPoint(100000, -7)};
        place(saved);
        view->savePositions();
        // The count, then the entries from the highest address down.
        const QByteArray expected = QByteArray::fromHex("00000003"
                                                        "0c" "000186a0" "fffffff9"
                                                        "07" "fffffffb" "0000012c"
                                                        "03" "0000000a" "00000014");
        QCOMPARE(expected.size(), 31);
        QCOMPARE(fileBytes(), expected);

        place({QPoint(0, 0), QPoint(0, 0), QPoint(0, 0)});
        view->restorePositions();
        QCOMPARE(positions(), saved);

        // Saving again replaces the whole file.
        place({saved.at(0), QPoint(1, 2), saved.at(2)});
        view->savePositions();
        QCOMPARE(fileBytes(), expected.left(13) + entry(7, 1, 2) + expected.mid(22));
    }

    void damagedFileRestoresNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");

        const QByteArray entries = entry(12, 500, 600) + entry(7, 700, 800) + entry(3, 900, 1000);
        QTest::newRow("cut inside the last entry") << (be32(3) + entries).left(30);
        QTest::newRow("half a count") << QByteArray::fromHex("0000");
        QTest::newRow("count one too high") << be32(4) + entries;
        // Must cost neither memory nor time.
        QTest::newRow("huge count") << be32(0xFFFFFFFF) + entries.left(18);
        QTest::newRow("no file") << QByteArray();
    }
    void damagedFileRestoresNothing()
    {
        QFETCH(QByteArray, bytes);
        list({3, 7, 12});
        const QList<QPoint> before = {QPoint(11, 12), QPoint(13, 14), QPoint(15, 16)};
        place(before);
        QVERIFY(bytes.isEmpty() || writeFile(bytes));

        QElapsedTimer timer;
        timer.start();
        view->restorePositions();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(positions(), before);
        QCOMPARE(fileBytes(), bytes);
        QCOMPARE(QFile::exists(MIconView::positionFilePath()), !bytes.isEmpty());
    }

    // Nothing listed, a model that is no monitor model, or one without a
    // controller: saving leaves the file alone, restoring moves nothing.
    void nothingToSaveKeepsFile()
    {
        view->savePositions();
        QVERIFY(!QFile::exists(MIconView::positionFilePath()));
        const QByteArray earlier = be32(2) + entry(1, 300, 300) + entry(0, 300, 300);
        QVERIFY(writeFile(earlier));
        view->savePositions();

        QStringListModel names({QStringLiteral("a"), QStringLiteral("b")});
        view->setModel(&names);
        view->setModelColumn(0);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        const QPoint before = view->rectForIndex(names.index(0)).topLeft();
        view->savePositions();
        view->restorePositions();
        QCOMPARE(view->rectForIndex(names.index(0)).topLeft(), before);
        MonitorModel orphan(nullptr);
        view->setModel(&orphan);
        view->savePositions();
        view->restorePositions();
        QCOMPARE(fileBytes(), earlier);
        view->setModel(model.get());
    }

    void onlyListedAndCountedEntries()
    {
        list({9, 20});
        place({QPoint(0, 0), QPoint(80, 0)});
        // Entries of unlisted monitors are ignored; monitors without an entry
        // keep their place; a later entry for an address wins.
        QVERIFY(writeFile(be32(3) + entry(9, 1, 1) + entry(5, 400, 400) + entry(9, 250, -30)));
        view->restorePositions();
        QCOMPARE(positions(), QList<QPoint>({QPoint(250, -30), QPoint(80, 0)}));

        // A count smaller than the file holds reads only the counted entries.
        QVERIFY(writeFile(be32(1) + entry(20, 1, 1) + entry(9, 2, 2)));
        view->restorePositions();
        QCOMPARE(positions(), QList<QPoint>({QPoint(250, -30), QPoint(1, 1)}));
    }

};

QTEST_MAIN(TestMIconView)
#include "tst_miconview.moc"
