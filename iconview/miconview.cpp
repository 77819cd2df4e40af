#include "iconview/miconview.h"

#include "iconview/fittedicondelegate.h"
#include "iconview/positionfile.h"
#include "monitor/cmonitor.h"
#include "monitor/model/monitormodel.h"
#include "supervision/mcontroller.h"

#include <QDir>
#include <QFile>

namespace {

MController *controllerOf(const QAbstractItemModel *model)
{
    const auto *monitors = qobject_cast<const MonitorModel *>(model);
    return monitors ? monitors->controller() : nullptr;
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
    PositionFile::Map positions;
    forEachIcon(controller, [&](const QModelIndex &index, const CMonitor &monitor) {
        positions.insert(monitor.address, rectForIndex(index).topLeft());
    });
    // Nothing to save must not wipe a layout saved earlier.
    if (positions.isEmpty())
        return;

    QFile file(positionFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    PositionFile::write(&file, positions);
}

void MIconView::restorePositions()
{
    MController *controller = controllerOf(model());
    if (!controller)
        return;
    QFile file(positionFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    PositionFile::Map positions;
    if (!PositionFile::read(&file, &positions))
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
