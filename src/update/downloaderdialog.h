#pragma once

#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace Ui {
class DownloaderDialog;
}

// Downloads one file into the working directory (or the folder set) while showing its progress;
// accepted once the file is stored (its path is then in savedFilePath), rejected on failure or
// Cancel.
class DownloaderDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DownloaderDialog(QWidget *parent = nullptr);
    ~DownloaderDialog() override;

    // QDialog's slot, overridden without a slot of this class's own.
    void reject() override;
    // Where the file is stored instead of the working directory; set before startDownload().
    void setDirectory(const QString &path);

    QString savedFilePath;

signals:
    void downloadFinish();

public slots:
    void startDownload(QUrl url);

protected slots:
    void setProgress(qint64 progress, qint64 total);
    void saveFile();

private:
    // The name a download is stored under: the URL's last path segment, never a path.
    static QString fileNameOf(const QUrl &url);

    Ui::DownloaderDialog *ui;
    QNetworkAccessManager *manager;
    QPointer<QNetworkReply> reply;
    QDir directory;
};
