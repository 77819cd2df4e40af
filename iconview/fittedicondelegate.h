#ifndef FITTEDICONDELEGATE_H
#define FITTEDICONDELEGATE_H

#include <QStyledItemDelegate>

// Draws a pixmap decoration no larger than the view's icon size, scaled
// down with its aspect kept. The stock delegate draws a pixmap at its own
// size, which the view's icon size does not limit, so a wide status image
// spills out of its grid cell and is clipped.
class FittedIconDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit FittedIconDelegate(QObject *parent = nullptr);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

#endif // FITTEDICONDELEGATE_H
