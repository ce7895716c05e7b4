#include "messagecapture.h"

#include <QMutex>
#include <QtGlobal>

namespace {
QMutex mutex;
QStringList captured;
QtMessageHandler previous = nullptr;
int active = 0;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&mutex);
        captured << message;
    }
    if (previous && type != QtDebugMsg)
        previous(type, context, message);
}
} // namespace

MessageCapture::MessageCapture()
{
    QMutexLocker lock(&mutex);
    captured.clear();
    if (active++ == 0)
        previous = qInstallMessageHandler(handler);
}

MessageCapture::~MessageCapture()
{
    QMutexLocker lock(&mutex);
    if (--active == 0)
        qInstallMessageHandler(previous);
}

QStringList MessageCapture::lines() const
{
    QMutexLocker lock(&mutex);
    return captured;
}
