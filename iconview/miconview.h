#ifndef MICONVIEW_H
#define MICONVIEW_H

#include <QListView>
#include <QMap>
#include <QPoint>
#include <QString>

#include <functional>

class CMonitor;
class MController;

// The monitors as freely placed icons. The operator arranges them like the
// monitors on the wall; the arrangement is kept in the position file only
// when asked to.
class MIconView : public QListView
{
    Q_OBJECT

public:
    explicit MIconView(QWidget *parent = nullptr);

    // QDir::currentPath() + "/poslist.pon".
    static QString positionFilePath();

    // Both do nothing without a MonitorModel that has a controller, and
    // report no failure: a file that cannot be written or read, or that is
    // damaged, simply changes nothing.
    void savePositions();
    void restorePositions();

    // Qt's layout puts every icon on the grid; icons restored while the view
    // was hidden are put back in their places after it.
    void doItemsLayout() override;

protected:
    // Icons placed while the view was hidden were laid out for a view of no
    // width; they are laid out again when it shows.
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void reset() override;
    void showEvent(QShowEvent *event) override;

private:
    // Each icon with the monitor of its row; rows without a monitor are skipped.
    void forEachIcon(MController *controller,
                     const std::function<void(const QModelIndex &, const CMonitor &)> &visit);

    bool laidOutHidden = false;
    // Places restored while hidden, by bus address, until the view has shown.
    QMap<quint8, QPoint> restoredHidden;
};

#endif // MICONVIEW_H
