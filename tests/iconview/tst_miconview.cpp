// Saving and restoring icon positions: the exact bytes of poslist.pon,
// damaged or missing files that must change nothing and cost nothing, and
// places restored while the view is hidden. And the icon as drawn.
#include "iconview/miconview.h"
#include "monitor/alarmstatus.h"
#include "monitor/model/monitormodel.h"
#include "supervision/mcontroller.h"
#include "tests/support/workdir.h"
#include "transport/rsthread.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

constexpr int Icon = MonitorModel::IconColumn;

// Big-endian, as the file holds them.
QByteArray be32(quint32 n)
{
    return QByteArray::fromHex(QByteArray::number(n, 16).rightJustified(8, '0'));
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

// Whether needle appears in haystack, its top-left within area; channels may
// differ by one for rounding.
bool containsImage(const QImage &haystack, const QRect &area, const QImage &needle)
{
    const auto close = [](QRgb a, QRgb b) {
        return qAbs(qRed(a) - qRed(b)) <= 1 && qAbs(qGreen(a) - qGreen(b)) <= 1 && qAbs(qBlue(a) - qBlue(b)) <= 1;
    };
    for (int top = area.top(); top + needle.height() <= area.bottom() + 1; ++top) {
        for (int left = area.left(); left + needle.width() <= area.right() + 1; ++left) {
            bool same = true;
            for (int y = 0; same && y < needle.height(); ++y) {
                for (int x = 0; same && x < needle.width(); ++x)
                    same = close(haystack.pixel(left + x, top + y), needle.pixel(x, y));
            }
            if (same)
                return true;
        }
    }
    return false;
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

    WorkDir dir;
    std::unique_ptr<MController> controller;
    std::unique_ptr<MonitorModel> model;
    std::unique_ptr<PlacingView> view;

    // Lists the monitors in the controller and the model, without a bus,
    // and shows the view unless told not to.
    void list(const QList<quint8> &addresses, bool show = true)
    {
        for (quint8 address : addresses) {
            const int row = controller->transactionThread()->addMonitor(new CMonitor(address));
            QVERIFY(row >= 0 && model->insertRows(row, 1));
        }
        view->setVisible(show);
        QVERIFY(!show || QTest::qWaitForWindowExposed(view.get()));
    }
    // Places the monitors by row, and checks they went there.
    void place(const QList<QPoint> &places)
    {
        for (int row = 0; row < places.size(); ++row)
            view->setPositionForIndex(places.at(row), model->index(row, Icon));
        QCOMPARE(positions(), places);
    }
    QList<QPoint> positions() const
    {
        QList<QPoint> places;
        for (int row = 0; row < controller->monitorCount(); ++row)
            places << view->rectForIndex(model->index(row, Icon)).topLeft();
        return places;
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        QFile::remove(MIconView::positionFilePath());
        controller = std::make_unique<MController>();
        model = std::make_unique<MonitorModel>(controller.get());
        view = std::make_unique<PlacingView>();
        // As the main window sets it up.
        view->setViewMode(QListView::IconMode);
        view->setIconSize(QSize(60, 60));
        view->setSpacing(10);
        view->setGridSize(QSize(80, 80));
        view->setMovement(QListView::Free);
        view->setWrapping(true);
        view->setResizeMode(QListView::Fixed);
        view->setModel(model.get());
        view->setModelColumn(Icon);
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
        // Nothing listed: saving must not wipe a layout saved earlier.
        QVERIFY(writeFile("earlier"));
        view->savePositions();
        QCOMPARE(fileBytes(), QByteArray("earlier"));
        list({12, 3, 7});
        QCOMPARE(controller->monitorAt(0)->address, quint8(3)); // rows in address order
        const QList<QPoint> saved = {QPoint(10, 20), QPoint(-5, 300), QPoint(100000, -7)};
        place(saved);
        view->savePositions();
        // The count, then the entries from the highest address down.
        const QByteArray expected = QByteArray::fromHex("00000003" "0c" "000186a0" "fffffff9"
                                                        "07" "fffffffb" "0000012c" "03" "0000000a" "00000014");
        QCOMPARE(fileBytes(), expected);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("poslist.pon"))));

        place({QPoint(0, 0), QPoint(0, 0), QPoint(0, 0)});
        view->restorePositions();
        QCOMPARE(positions(), saved);
        // Saving again replaces the whole file.
        place({saved.at(0), QPoint(1, 2), saved.at(2)});
        view->savePositions();
        QCOMPARE(fileBytes(), expected.left(13) + entry(7, 1, 2) + expected.mid(22));

        // Entries of unlisted monitors are ignored; monitors without an entry
        // keep their place; a later entry for an address wins.
        QVERIFY(writeFile(be32(3) + entry(3, 1, 1) + entry(5, 400, 400) + entry(3, 250, -30)));
        view->restorePositions();
        QCOMPARE(positions(), QList<QPoint>({QPoint(250, -30), QPoint(1, 2), saved.at(2)}));
        // A count smaller than the file holds reads only the counted entries.
        QVERIFY(writeFile(be32(1) + entry(12, 9, 9) + entry(3, 2, 2)));
        view->restorePositions();
        QCOMPARE(positions(), QList<QPoint>({QPoint(250, -30), QPoint(1, 2), QPoint(9, 9)}));
    }

    // Damaged or missing, the file moves nothing, costs neither memory nor
    // time, and stays as it was.
    void damagedFileRestoresNothing()
    {
        list({3, 7, 12});
        const QList<QPoint> before = {QPoint(11, 12), QPoint(13, 14), QPoint(15, 16)};
        place(before);
        const QByteArray entries = entry(12, 500, 600) + entry(7, 700, 800) + entry(3, 900, 1000);
        for (const QByteArray &bytes : {(be32(3) + entries).left(30), QByteArray::fromHex("0000"), be32(4) + entries,
                                        be32(0xFFFFFFFF) + entries.left(18), QByteArray()}) {
            QVERIFY(bytes.isEmpty() ? QFile::remove(MIconView::positionFilePath()) : writeFile(bytes));
            QElapsedTimer timer;
            timer.start();
            view->restorePositions();
            QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(positions(), before);
            QCOMPARE(fileBytes(), bytes);
        }
        QVERIFY(!QFile::exists(MIconView::positionFilePath()));
    }

    // Far more entries than any layout has, places at the ends of the
    // coordinate range, a directory in the file's place: restored in
    // bounded time without a crash, and the view still paints and saves.
    void oversizedOrAbsurdFile()
    {
        list({3, 7, 12});
        const QList<QPoint> before = {QPoint(11, 12), QPoint(13, 14), QPoint(15, 16)};
        place(before);
        // 18 MB of entries for monitor 3: the last one counts.
        constexpr int Entries = 2000000;
        QByteArray big = be32(Entries) + QByteArray(9 * Entries, '\0');
        for (int k = 0; k < Entries; ++k) {
            big[4 + 9 * k] = 3;
            qToBigEndian<qint32>(k == Entries - 1 ? 42 : k, big.data() + 5 + 9 * k);
            qToBigEndian<qint32>(k == Entries - 1 ? 43 : -k, big.data() + 9 + 9 * k);
        }
        QVERIFY(writeFile(big));
        QElapsedTimer timer;
        timer.start();
        view->restorePositions();
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(positions(), QList<QPoint>({QPoint(42, 43), before.at(1), before.at(2)}));

        constexpr qint32 Max = std::numeric_limits<qint32>::max();
        constexpr qint32 Min = std::numeric_limits<qint32>::min();
        const QByteArray far = be32(3) + entry(12, Max, Min) + entry(7, Min, Max) + entry(3, Max, Max);
        QVERIFY(writeFile(far));
        view->restorePositions();
        QCOMPARE(positions(), QList<QPoint>({QPoint(Max, Max), QPoint(Min, Max), QPoint(Max, Min)}));
        QVERIFY(!view->viewport()->grab().isNull());
        view->scrollToBottom();
        view->savePositions();
        QCOMPARE(fileBytes(), far);

        QVERIFY(QFile::remove(MIconView::positionFilePath()) && QDir().mkdir(MIconView::positionFilePath()));
        place(before);
        view->restorePositions();
        QCOMPARE(positions(), before);
        view->savePositions();
        QVERIFY(QFileInfo(MIconView::positionFilePath()).isDir());
        QVERIFY(QDir().rmdir(MIconView::positionFilePath()));
    }

    // Restored while the table shows, the places outlive the layout the view
    // gets when it shows, and saving then writes the same file back.
    void restoredWhileHiddenSurvivesShowing()
    {
        list({3, 7, 12}, false);
        const QByteArray saved = be32(3) + entry(12, 400, 10) + entry(7, 170, 250) + entry(3, -20, 90);
        QVERIFY(writeFile(saved));
        view->restorePositions();
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QCOMPARE(positions(), QList<QPoint>({QPoint(-20, 90), QPoint(170, 250), QPoint(400, 10)}));
        view->savePositions();
        QCOMPARE(fileBytes(), saved);
    }

    // Three alarm icons fill the 96 x 32 status image; in the 80-pixel cell
    // it shows whole, scaled to the 60-pixel icon width, over the status colour.
    void statusImageShowsWhole()
    {
        QSettings(QStringLiteral("mc422.ini"), QSettings::IniFormat).setValue("alarm/ire", true);
        list({3});
        CMonitor *monitor = controller->monitorAt(0);
        monitor->state = CMonitor::StatePower;
        monitor->alarm = 0x0E; // audio mute, black field, IRE
        QImage expected(60, 20, QImage::Format_ARGB32_Premultiplied);
        expected.fill(statusColor(*monitor));
        QPainter(&expected).drawPixmap(0, 0, statusImage(*monitor).scaled(expected.size(), Qt::IgnoreAspectRatio,
                                                                        Qt::SmoothTransformation));
        const QRect item = view->visualRect(model->index(0, Icon));
        QVERIFY2(containsImage(view->viewport()->grab().toImage(), item, expected),
                 qPrintable(QStringLiteral("item %1x%2").arg(item.width()).arg(item.height())));
        QFile::remove(QStringLiteral("mc422.ini"));
    }
};

QTEST_MAIN(TestMIconView)
#include "tst_miconview.moc"
