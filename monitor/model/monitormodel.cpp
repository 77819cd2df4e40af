#include "monitor/model/monitormodel.h"

#include "monitor/alarmstatus.h"
#include "monitor/cmonitor.h"
#include "monitor/healthtext.h"
#include "supervision/mcontroller.h"

#include <QColor>
#include <QDateTime>
#include <QFont>

MonitorModel::MonitorModel(MController *controller, QObject *parent)
    : QAbstractTableModel(parent), m_controller(controller),
      m_rows(controller ? controller->monitorCount() : 0)
{
    if (controller)
        connect(controller, &MController::umdQueued, this, &MonitorModel::noteUmd);
}

// A flat table: rows have no children.
int MonitorModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int MonitorModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount + (m_umdShown ? 1 : 0);
}

QVariant MonitorModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_controller || index.row() >= m_rows)
        return QVariant();
    const CMonitor *m = m_controller->monitorAt(index.row());
    if (!m)
        return QVariant();
    // An acknowledged monitor stays red, in italics, its image ticked.
    const bool image = role == Qt::DecorationRole
        && (index.column() == StatusColumn || index.column() == IconColumn);
    if ((role == Qt::FontRole || image) && m_controller->isAcknowledged(m->address)) {
        if (image)
            return acknowledgedStatusImage(*m);
        QFont font;
        font.setItalic(true);
        return font;
    }
    // The row's bus health, whichever cell the pointer rests on.
    if (role == Qt::ToolTipRole)
        return HealthText::summary(m->health, QDateTime::currentDateTime());

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
    case UmdColumn:
        if (m_umdShown)
            return umdData(m_umd.value(m->address), role);
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
    case UmdColumn:
        if (m_umdShown)
            return tr("UMD");
        break;
    default: break;
    }
    return QStringLiteral("None");
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

void MonitorModel::setUmdShown(bool shown)
{
    if (shown == m_umdShown)
        return;
    if (shown)
        beginInsertColumns(QModelIndex(), UmdColumn, UmdColumn);
    else
        beginRemoveColumns(QModelIndex(), UmdColumn, UmdColumn);
    m_umdShown = shown;
    if (shown)
        endInsertColumns();
    else
        endRemoveColumns();
}

// The text on the colour of the lamps: red, green, both lit (amber) or none.
QVariant MonitorModel::umdData(const Umd &umd, int role)
{
    switch (role) {
    case Qt::DisplayRole:
        return umd.text;
    case Qt::UserRole:
        return int(umd.tally);
    case Qt::BackgroundRole:
        switch (umd.tally) {
        case 1: return QColor(Qt::red);
        case 2: return QColor(Qt::green);
        case 3: return QColor(255, 191, 0);
        default: return QVariant();
        }
    case Qt::ForegroundRole:
        return umd.tally == 1 ? QColor(Qt::white) : (umd.tally ? QColor(Qt::black) : QVariant());
    default:
        return QVariant();
    }
}

void MonitorModel::noteUmd(quint8 address, const QByteArray &text, quint8 tally)
{
    // As the frame carries it: 8 characters at most, then the blanks the
    // monitor pads with are no part of the text.
    Umd &umd = m_umd[address];
    umd.text = QString::fromLatin1(text.left(8)).trimmed();
    umd.tally = tally & 3;
    if (!m_umdShown || !m_controller)
        return;
    for (int row = 0; row < m_rows; ++row) {
        const CMonitor *m = m_controller->monitorAt(row);
        if (m && m->address == address) {
            emit dataChanged(index(row, UmdColumn), index(row, UmdColumn));
            return;
        }
    }
}

void MonitorModel::reload()
{
    beginResetModel();
    m_rows = m_controller ? m_controller->monitorCount() : 0;
    endResetModel();
}
