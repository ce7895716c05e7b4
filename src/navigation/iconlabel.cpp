#include "iconlabel.h"

#include <QHBoxLayout>
#include <QLabel>

// The text is left to the owner, which sets textLabel whenever the state it shows changes.
IconLabel::IconLabel(const QIcon &icon, const QString & /*text*/, QWidget *parent)
    : QWidget(parent)
    , pixmapLabel(new QLabel(this))
    , textLabel(new QLabel(this))
    , icon(icon)
{
    pixmapLabel->setPixmap(icon.pixmap(16, 16));
    textLabel->setTextFormat(Qt::RichText);
    textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse |
                                       Qt::LinksAccessibleByKeyboard);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(pixmapLabel);
    layout->addWidget(textLabel);
}
