#include "iconview/fittedicondelegate.h"

FittedIconDelegate::FittedIconDelegate(QObject *parent) : QStyledItemDelegate(parent)
{
}

void FittedIconDelegate::initStyleOption(QStyleOptionViewItem *option,
                                         const QModelIndex &index) const
{
    // The view hands in its icon size; the base class replaces it with the
    // pixmap's own size. The icon then scales itself to the size left here.
    const QSize room = option->decorationSize;
    QStyledItemDelegate::initStyleOption(option, index);
    const QSize own = option->decorationSize;
    if (room.isValid() && (own.width() > room.width() || own.height() > room.height()))
        option->decorationSize = own.scaled(room, Qt::KeepAspectRatio);
}
