#include "contactlistdelegate.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QStyle>

#include "navigation/contactlistmodel.h"

namespace {

const int margin = 4;
const int iconSize = 16;

QFont nameFont(const QStyleOptionViewItem &option)
{
    QFont font = option.font;
    font.setBold(true);
    return font;
}

QFont emailFont(const QStyleOptionViewItem &option)
{
    QFont font = option.font;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.9);
    return font;
}

} // namespace

ContactListDelegate::ContactListDelegate(QObject *parent)
    : QAbstractItemDelegate(parent)
{}

void ContactListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, option.widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QRect area = option.rect.adjusted(margin, margin, -margin, -margin);
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    icon.paint(painter, QRect(area.left(), area.top(), iconSize, iconSize));

    const int textLeft = area.left() + iconSize + margin;
    const QFontMetrics nameMetrics(nameFont(option));
    const QRect nameRect(textLeft, area.top(), area.right() - textLeft, nameMetrics.height());
    const QRect emailRect(textLeft, nameRect.bottom() + 1, nameRect.width(),
                          QFontMetrics(emailFont(option)).height());

    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(nameFont(option));
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                             nameRect.width()));
    painter->setPen(
        option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    painter->setFont(emailFont(option));
    painter->drawText(emailRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(emailFont(option))
                          .elidedText(index.data(ContactListModel::EmailRole).toString(),
                                      Qt::ElideRight, emailRect.width()));
    painter->restore();
}

QSize ContactListDelegate::sizeHint(const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const QFontMetrics nameMetrics(nameFont(option));
    const QFontMetrics emailMetrics(emailFont(option));
    const int textWidth =
        qMax(nameMetrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()),
             emailMetrics.horizontalAdvance(index.data(ContactListModel::EmailRole).toString()));
    const int height = qMax(iconSize, nameMetrics.height() + 1 + emailMetrics.height());
    return QSize(3 * margin + iconSize + textWidth, 2 * margin + height);
}
