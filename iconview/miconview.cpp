#include "iconview/miconview.h"

#include "iconview/fittedicondelegate.h"
#include "monitor/cmonitor.h"
#include "monitor/model/monitormodel.h"
#include "supervision/mcontroller.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QPoint>

namespace {

using PositionMap = QMap<quint8, QPoint>;

// Size of one entry in the file: address byte, x, y.
constexpr qint64 EntrySize = 1 + 4 + 4;

MController *controllerOf(const QAbstractItemModel *model)
{
    const auto *monitors = qobject_cast<const MonitorModel *>(model);
    return monitors ? monitors->controller() : nullptr;
}

// The data-stream form of the map, big-endian: the count, then the entries
// from the highest address down. Written by hand because the order in which
// QDataStream itself walks a QMap is not the file's order.
void writePositions(QDataStream &out, const PositionMap &positions)
{
    out << qint32(positions.size());
    for (auto it = positions.constEnd(); it != positions.constBegin();) {
        --it;
        out << it.key() << qint32(it.value().x()) << qint32(it.value().y());
    }
}

// False, with nothing kept, when the file holds less than its count says.
// A count larger than the file can hold is caught before reading, so a
// damaged count costs neither memory nor time.
bool readPositions(QFile &file, PositionMap *positions)
{
    QDataStream in(&file);
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok)
        return false;
    if (count > quint64(file.size() - 4) / EntrySize)
        return false;
    PositionMap read;
    for (quint32 k = 0; k < count; ++k) {
        quint8 address = 0;
        qint32 x = 0;
        qint32 y = 0;
        in >> address >> x >> y;
        if (in.status() != QDataStream::Ok)
            return false;
        read.insert(address, QPoint(x, y));
    }
    *positions = read;
    return true;
}

} // namespace

MIconView::MIconView(QWidget *parent) : QListView(parent)
{
    setItemDelegate(new FittedIconDelegate(this));
}

QString MIconView::positionFilePath()
{
    return QDir::currentPath() + QStringLiteral("/poslist.pon");
}

void MIconView::forEachIcon(MController *controller,
                            const std::function<void(const QModelIndex &, const CMonitor &)> &visit)
{
    const int rows = model()->rowCount(rootIndex());
    for (int row = 0; row < rows; ++row) {
        if (const CMonitor *monitor = controller->monitorAt(row))
            visit(model()->index(row, modelColumn(), rootIndex()), *monitor);
    }
}

void MIconView::savePositions()
{
    MController *controller = controllerOf(model());
    if (!controller)
        return;
    PositionMap positions;
    forEachIcon(controller, [&](const QModelIndex &index, const CMonitor &monitor) {
        positions.insert(monitor.address, rectForIndex(index).topLeft());
    });
    // Nothing to save must not wipe a layout saved earlier.
    if (positions.isEmpty())
        return;

    QFile file(positionFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QDataStream out(&file);
    writePositions(out, positions);
}

void MIconView::restorePositions()
{
    MController *controller = controllerOf(model());
    if (!controller)
        return;
    QFile file(positionFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    PositionMap positions;
    if (!readPositions(file, &positions))
        return;

    // Monitors without an entry keep their place; entries of monitors that
    // are not listed are ignored.
    forEachIcon(controller, [&](const QModelIndex &index, const CMonitor &monitor) {
        const auto it = positions.constFind(monitor.address);
        if (it == positions.constEnd())
            return;
        setPositionForIndex(it.value(), index);
        if (!isVisible())
            restoredHidden.insert(monitor.address, it.value());
    });
}

void MIconView::doItemsLayout()
{
    QListView::doItemsLayout();
    MController *controller = controllerOf(model());
    if (restoredHidden.isEmpty() || !controller)
        return;
    forEachIcon(controller, [&](const QModelIndex &index, const CMonitor &monitor) {
        const auto it = restoredHidden.constFind(monitor.address);
        if (it != restoredHidden.constEnd())
            setPositionForIndex(it.value(), index);
    });
    // Once shown, the operator's moves and later layouts rule again.
    if (isVisible())
        restoredHidden.clear();
}

void MIconView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QListView::rowsInserted(parent, start, end);
    laidOutHidden = laidOutHidden || !isVisible();
}

void MIconView::reset()
{
    QListView::reset();
    laidOutHidden = laidOutHidden || !isVisible();
}

void MIconView::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    if (laidOutHidden) {
        laidOutHidden = false;
        scheduleDelayedItemsLayout();
    } else {
        restoredHidden.clear(); // no layout comes that could undo them
    }
}
