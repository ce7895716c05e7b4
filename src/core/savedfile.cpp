#include "savedfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

bool SavedFile::copy(const QString &from, const QString &to, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (QFile::exists(to))
        return fail(QCoreApplication::translate("SavedFile", "%1 exists already").arg(to));
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return fail(source.errorString());
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return fail(target.errorString());
    while (!source.atEnd()) {
        const QByteArray piece = source.read(1 << 16);
        if (piece.isEmpty() && source.error() != QFileDevice::NoError)
            return fail(source.errorString());
        if (target.write(piece) != piece.size())
            return fail(target.errorString());
    }
    if (!target.commit())
        return fail(target.errorString());
    return true;
}
