#include "monitor/model/monitormodel.h"

#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "supervision/mcontroller.h"

MonitorModel::MonitorModel(MController *controller, QObject *parent)
    : QAbstractTableModel(parent), m_controller(controller),
      m_rows(controller ? controller->monitorCount() : 0)
{
}

// A flat table: rows have no children.
int MonitorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int MonitorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MonitorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_controller || index.row() >= m_rows)
        return QVariant();
    const CMonitor *m = m_controller->monitorAt(index.row());
    if (!m)
        return QVariant();

    switch (index.column()) {
    case SerialColumn:
        if (role == Qt::DisplayRole || role == Qt::UserRole)
            return m->serialNumber;
        break;
    case StatusColumn:
        if (role == Qt::DecorationRole)
            return statusImage(*m);
        if (role == Qt::BackgroundRole)
            return statusColor(*m);
        if (role == Qt::UserRole)
            return statusCode(*m);
        break;
    case InputColumn:
        if (role == Qt::DisplayRole && m->input < inputNames.size())
            return inputNames.at(m->input);
        break;
    case ModeColumn:
        if (role == Qt::DisplayRole && m->mode < modeNames.size())
            return modeNames.at(m->mode);
        break;
    case AddressColumn:
        if (role == Qt::DisplayRole || role == Qt::UserRole)
            return int(m->address);
        break;
    case VersionColumn:
        if (role == Qt::DisplayRole)
            return m->version;
        break;
    case IconColumn:
        if (role == Qt::DisplayRole)
            return m->serialNumber;
        if (role == Qt::DecorationRole)
            return statusImage(*m);
        if (role == Qt::BackgroundRole)
            return statusColor(*m);
        break;
    default:
        break;
    }
    return QVariant();
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return QStringLiteral("%1").arg(section + 1);
    switch (section) {
    case SerialColumn: return tr("SN");
    case StatusColumn: return tr("Status");
    case InputColumn: return tr("Input");
    case ModeColumn: return tr("Mode");
    case AddressColumn: return tr("Address");
    case VersionColumn: return tr("Version");
    default: return QStringLiteral("None");
    }
}

Qt::ItemFlags MonitorModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    switch (index.column()) {
    case SerialColumn:
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    case IconColumn:
        return Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsEnabled;
    default:
        return Qt::ItemIsEnabled;
    }
}

bool MonitorModel::insertRows(int row, int count, const QModelIndex &parent)
{
    beginInsertRows(parent, row, row + count - 1);
    m_rows += count;
    endInsertRows();
    return true;
}

bool MonitorModel::removeRows(int row, int count, const QModelIndex &parent)
{
    beginRemoveRows(parent, row, row + count - 1);
    m_rows -= count;
    endRemoveRows();
    return true;
}

void MonitorModel::updateRow(int row)
{
    emit dataChanged(index(row, SerialColumn), index(row, IconColumn));
}

void MonitorModel::reload()
{
    beginResetModel();
    m_rows = m_controller ? m_controller->monitorCount() : 0;
    endResetModel();
}
