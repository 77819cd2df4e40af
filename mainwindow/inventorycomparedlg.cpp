#include "mainwindow/inventorycomparedlg.h"

#include "inventory/inventory.h"
#include "inventory/inventorycomparison.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QString takenText(const Inventory &inventory)
{
    return QLocale().toString(inventory.exported, QLocale::ShortFormat);
}

} // namespace

InventoryCompareDlg::InventoryCompareDlg(const QString &fileName, const Inventory &before,
                                         const Inventory &now, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Compare with inventory"));
    auto *layout = new QVBoxLayout(this);

    sourceLabel = new QLabel(this);
    sourceLabel->setObjectName(QStringLiteral("sourceLabel"));
    sourceLabel->setTextFormat(Qt::PlainText);
    sourceLabel->setText(tr("Earlier: %1, taken %2 on %3\nNow: the bus on %4")
                             .arg(QDir::toNativeSeparators(fileName), takenText(before),
                                  before.port.isEmpty() ? tr("no port") : before.port,
                                  now.port.isEmpty() ? tr("no port") : now.port));
    sourceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(sourceLabel);

    const QStringList lines = InventoryComparison::lines(InventoryComparison::compare(before, now));
    changesView = new QPlainTextEdit(this);
    changesView->setObjectName(QStringLiteral("changesView"));
    changesView->setReadOnly(true);
    changesView->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The lines line up as the command line prints them.
    changesView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    changesView->setPlainText(lines.isEmpty() ? tr("No differences.") : lines.join(QLatin1Char('\n')));
    layout->addWidget(changesView);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 360);
}
