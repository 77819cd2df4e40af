#ifndef INVENTORYCOMPAREDLG_H
#define INVENTORYCOMPAREDLG_H

#include <QDialog>

class Inventory;
class QLabel;
class QPlainTextEdit;

// What changed between an earlier inventory file and the bus now: which
// file, when and where each was taken, and the differences one per line as
// the command line prints them, or "No differences.".
class InventoryCompareDlg : public QDialog
{
    Q_OBJECT

public:
    InventoryCompareDlg(const QString &fileName, const Inventory &before, const Inventory &now,
                        QWidget *parent = nullptr);

private:
    QLabel *sourceLabel;
    QPlainTextEdit *changesView; // selectable and copyable, not editable
};

#endif // INVENTORYCOMPAREDLG_H
