#include "health/healthwindow.h"

#include "health/healthmodel.h"
#include "health/healthsortproxy.h"

#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

HealthWindow::HealthWindow(MController *controller, QWidget *parent)
    : QWidget(parent, Qt::Window),
      model(new HealthModel(controller, this)),
      proxy(new HealthSortProxy(this)),
      table(new QTableView(this)),
      clock(new QTimer(this))
{
    setObjectName(QStringLiteral("healthWindow"));
    setWindowTitle(tr("Bus health"));
    proxy->setSourceModel(model);

    table->setObjectName(QStringLiteral("healthTable"));
    table->setModel(proxy);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSortingEnabled(true);
    table->sortByColumn(HealthModel::FailuresColumn, Qt::DescendingOrder);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table);
    resize(860, 420);

    clock->setInterval(1000);
    connect(clock, &QTimer::timeout, model, &HealthModel::sync);
}

HealthWindow *HealthWindow::open(MController *controller, QWidget *parent)
{
    auto *window = parent ? parent->findChild<HealthWindow *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window)
        window = new HealthWindow(controller, parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void HealthWindow::showEvent(QShowEvent *event)
{
    model->sync();
    clock->start();
    QWidget::showEvent(event);
}

void HealthWindow::hideEvent(QHideEvent *event)
{
    clock->stop();
    QWidget::hideEvent(event);
}
