#ifndef HEALTHWINDOW_H
#define HEALTHWINDOW_H

#include <QWidget>

class HealthModel;
class HealthSortProxy;
class MController;
class QTableView;
class QTimer;

// The "Bus health" window: every monitor's figures, sortable by clicking a
// column's header, most failing and slowest first when it opens (failures
// descending, then the worst exchange time). It follows the list live while
// shown, keeping the sort and selection the operator chose.
class HealthWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HealthWindow(MController *controller, QWidget *parent = nullptr);

    // The window below parent, made at the first call; shown and raised.
    static HealthWindow *open(MController *controller, QWidget *parent);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    HealthModel *model;
    HealthSortProxy *proxy;
    QTableView *table;
    // Zombie times grow and figures change with every exchange, without a
    // signal of their own: the table is brought up to date once a second.
    QTimer *clock;
};

#endif // HEALTHWINDOW_H
