#pragma once

#include <QAbstractItemDelegate>

// A contact as two lines beside its card icon: the user name, and the e-mail address under it.
class ContactListDelegate : public QAbstractItemDelegate
{
    Q_OBJECT
public:
    explicit ContactListDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
