#pragma once

#include <QLineEdit>
#include <QVariant>

class QCalendarWidget;

// A date, or a date and time, that may be empty: typed in the form the grid shows it in, or
// picked from a calendar pop-up. Empty text is no date.
class NullableDateEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QVariant date READ date WRITE setDate USER true)
public:
    explicit NullableDateEdit(bool withTime, QWidget *parent = nullptr);

    // A null value for empty text and for text that is no date (see problem()).
    QVariant date() const;
    void setDate(const QVariant &date);
    // Why the text is no date; empty when it is one, or empty.
    QString problem() const;
    // The form dates are written and read in.
    QString format() const;
    QCalendarWidget *calendar() const { return calendarPopup; }

public slots:
    void showCalendar();

private:
    QVariant parsed(bool *ok) const;
    void pick(QDate day);

    bool withTime;
    QCalendarWidget *calendarPopup;
    // The value set last and the text it was shown as: text left as it was keeps the value
    // whole (the seconds, which the shown form may leave out).
    QVariant shownValue;
    QString shownText;
};
