#include "downloaderdialog.h"
#include "ui_downloaderdialog.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

#include "core/logcategories.h"
#include "core/replylimit.h"

DownloaderDialog::DownloaderDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::DownloaderDialog)
    , manager(new QNetworkAccessManager)
{
    ui->setupUi(this);
    connect(ui->pushButton, &QPushButton::clicked, this, &DownloaderDialog::reject);
}

DownloaderDialog::~DownloaderDialog()
{
    delete manager;
    delete ui;
}

QString DownloaderDialog::fileNameOf(const QUrl &url)
{
    // A decoded "%2F" would make a path of the last segment; keep only what follows it.
    QString name = url.fileName(QUrl::FullyDecoded);
    name = name.mid(name.lastIndexOf('/') + 1);
    if (name == "." || name == "..")
        return QString();
    // The file system cuts a name at a NUL: "keep.txt%00.html" would replace keep.txt.
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            return QString();
    }
    return name;
}

void DownloaderDialog::setDirectory(const QString &path)
{
    directory.setPath(path);
}

void DownloaderDialog::startDownload(QUrl url)
{
    ui->label->setText(tr("download of ") + fileNameOf(url));
    reply = manager->get(QNetworkRequest(url));
    ReplyLimit::apply(reply, ReplyLimit::downloadBytes, ReplyLimit::BetweenPieces);
    connect(reply, &QNetworkReply::downloadProgress, this, &DownloaderDialog::setProgress);
    connect(reply, &QNetworkReply::finished, this, &DownloaderDialog::saveFile);
}

void DownloaderDialog::setProgress(qint64 progress, qint64 total)
{
    ui->progressBar->setValue(int(double(progress) / double(total) * 100.0));
}

void DownloaderDialog::saveFile()
{
    auto *finished = qobject_cast<QNetworkReply *>(sender());
    finished->deleteLater();
    // A failed request must not replace a file with its (empty or error) body, nor pass for
    // a download.
    if (finished->error() != QNetworkReply::NoError) {
        qCDebug(lcApp).noquote() << "download failed:" << finished->errorString();
        const QString stopped = ReplyLimit::reason(finished);
        if (!stopped.isEmpty())
            QMessageBox::warning(this, tr("download failed"), stopped);
        reject();
        return;
    }
    const QString name = fileNameOf(finished->url());
    QSaveFile file(directory.absoluteFilePath(name));
    const QByteArray body = finished->readAll();
    // A write cut short (a full disk) returns fewer bytes, not an error, and commit() does not
    // see a failed last flush: both are checked before the file takes its name.
    if (name.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(body) != body.size() ||
        !file.flush() || !file.commit()) {
        qCDebug(lcApp).noquote() << "download not saved:"
                                 << (name.isEmpty() ? finished->url().toString()
                                                    : file.errorString());
        reject();
        return;
    }
    savedFilePath = QFileInfo(file.fileName()).absoluteFilePath();
    qCDebug(lcApp).noquote() << "save";
    accept();
}

void DownloaderDialog::reject()
{
    // Cancel (or the window's close button) stops the transfer too.
    if (reply && reply->isRunning()) {
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
    QDialog::reject();
}
