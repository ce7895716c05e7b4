#include "nullabledateedit.h"

#include <QAction>
#include <QCalendarWidget>
#include <QStyle>

NullableDateEdit::NullableDateEdit(bool withTime, QWidget *parent)
    : QLineEdit(parent)
    , withTime(withTime)
    , calendarPopup(new QCalendarWidget(this))
{
    setPlaceholderText(tr("no date"));
    setClearButtonEnabled(true);
    setToolTip(tr("a date such as %1; empty for no date")
                   .arg(locale().toString(QDate::currentDate(), format())));
    QAction *open =
        addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    open->setObjectName("calendarAction");
    open->setToolTip(tr("calendar"));
    connect(open, &QAction::triggered, this, &NullableDateEdit::showCalendar);
    calendarPopup->setWindowFlags(Qt::Popup);
    calendarPopup->hide();
    connect(calendarPopup, &QCalendarWidget::clicked, this, &NullableDateEdit::pick);
    connect(calendarPopup, &QCalendarWidget::activated, this, &NullableDateEdit::pick);
}

QString NullableDateEdit::format() const
{
    QString form = withTime ? locale().dateTimeFormat(QLocale::ShortFormat)
                            : locale().dateFormat(QLocale::ShortFormat);
    // Four digits: a two-digit year would be read in the wrong century.
    if (!form.contains("yyyy"))
        form.replace("yy", "yyyy");
    return form;
}

QVariant NullableDateEdit::parsed(bool *ok) const
{
    const QString typed = text().trimmed();
    *ok = true;
    if (typed == shownText.trimmed())
        return shownValue;
    if (typed.isEmpty())
        return QVariant();
    if (withTime) {
        QDateTime when = locale().toDateTime(typed, format());
        if (!when.isValid())
            when = QDateTime::fromString(typed, Qt::ISODate);
        *ok = when.isValid();
        return when;
    }
    QDate day = locale().toDate(typed, format());
    if (!day.isValid())
        day = QDate::fromString(typed, Qt::ISODate);
    *ok = day.isValid();
    return day;
}

QVariant NullableDateEdit::date() const
{
    bool ok = false;
    const QVariant value = parsed(&ok);
    return ok ? value : QVariant();
}

void NullableDateEdit::setDate(const QVariant &date)
{
    shownValue = date.isNull() ? QVariant() : date;
    if (shownValue.isNull())
        shownText.clear();
    else if (withTime)
        shownText = locale().toString(date.toDateTime(), format());
    else
        shownText = locale().toString(date.toDate(), format());
    setText(shownText);
}

QString NullableDateEdit::problem() const
{
    bool ok = false;
    parsed(&ok);
    if (ok)
        return QString();
    const QDateTime example(QDate(1970, 3, 15), QTime(14, 30));
    return tr("\"%1\" is not a date; write it as %2, or leave it empty for no date")
        .arg(text().trimmed(), withTime ? locale().toString(example, format())
                                        : locale().toString(example.date(), format()));
}

void NullableDateEdit::showCalendar()
{
    const QVariant current = date();
    const QDate day = withTime ? current.toDateTime().date() : current.toDate();
    calendarPopup->setSelectedDate(day.isValid() ? day : QDate::currentDate());
    calendarPopup->adjustSize();
    calendarPopup->move(mapToGlobal(QPoint(0, height())));
    calendarPopup->show();
    calendarPopup->setFocus();
}

void NullableDateEdit::pick(QDate day)
{
    calendarPopup->hide();
    if (withTime) {
        const QTime time = date().toDateTime().time();
        setText(locale().toString(QDateTime(day, time.isValid() ? time : QTime(0, 0)), format()));
    } else {
        setText(locale().toString(day, format()));
    }
    setFocus();
}
