#ifndef MICONVIEW_H
#define MICONVIEW_H

#include <QListView>
#include <QString>

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
};

#endif // MICONVIEW_H
