#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QWidget;

// Answers the next modal dialog or message box from inside its own event loop:
// waits until a modal widget is active, hands it to the answer, and records its texts.
class ModalAnswer : public QObject
{
    Q_OBJECT
public:
    using Answer = std::function<void(QWidget *modal)>;

    explicit ModalAnswer(Answer answer, int timeoutMs = 10000);

    bool answered() const { return done; }
    QString title() const { return seenTitle; }
    QString text() const { return seenText; }
    QString informativeText() const { return seenInformative; }
    QString detailedText() const { return seenDetailed; }
    QString className() const { return seenClass; }

    // Common answers.
    static Answer clickButton(const QString &text);
    static Answer accept();
    static Answer reject();
    // Picks path in a file dialog and accepts it; an empty path cancels the dialog.
    static Answer chooseFile(const QString &path);

private:
    void poll();

    Answer answer;
    int remaining;
    bool done = false;
    QString seenTitle;
    QString seenText;
    QString seenInformative;
    QString seenDetailed;
    QString seenClass;
};
