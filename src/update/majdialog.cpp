#include "majdialog.h"
#include "ui_majdialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include "core/logcategories.h"
#include "core/replylimit.h"
#include "core/stavimor.h"

MAJDialog::MAJDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::MAJDialog)
    , manager(new QNetworkAccessManager(this))
{
    ui->setupUi(this);
    setEnabled(false);
    connect(ui->downloadButton, &QPushButton::clicked, this, &MAJDialog::downloadApp);
    load();
}

MAJDialog::~MAJDialog()
{
    delete ui;
}

void MAJDialog::load()
{
    const QUrl url = Stavimor::appUpdateUrl();
    if (url.isEmpty())
        return;
    QNetworkReply *reply = manager->get(QNetworkRequest(url));
    ReplyLimit::apply(reply, ReplyLimit::documentBytes);
    connect(reply, &QNetworkReply::finished, this, &MAJDialog::parse);
}

void MAJDialog::parse()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    qCDebug(lcApp).noquote() << "finish";
    const QString stopped = ReplyLimit::reason(reply);
    if (!stopped.isEmpty()) {
        reply->deleteLater();
        setEnabled(true);
        ui->downloadButton->setEnabled(false);
        ui->titleLabel->setText(tr("No Update"));
        ui->versionLabel->setText(tr("the update server did not answer properly: %1").arg(stopped));
        return;
    }
    const QDomDocument document = ReplyLimit::document(reply);
    reply->deleteLater();

    const QDomElement release = document.documentElement().firstChild().toElement();
    const double published = release.attribute("version").toDouble();
    const QString title = release.attribute("title");
    appUrl = QUrl(release.firstChildElement("path").text());
    setEnabled(true);

    const double running = QCoreApplication::applicationVersion().toDouble();
    if (!(published > running)) {
        qCDebug(lcApp).noquote() << "No update avaible";
        ui->downloadButton->setEnabled(false);
        ui->titleLabel->setText(tr("No Update"));
        ui->versionLabel->setText(tr("you have already the latest version "));
        close();
        return;
    }
    qCDebug(lcApp).noquote() << "Update avaible";
    ui->downloadButton->setEnabled(true);
    ui->titleLabel->setText(tr("Update Avaible"));
    ui->versionLabel->setText(tr("version ") + title + " " + QString::number(published, 'g', 6));
}

void MAJDialog::downloadApp()
{
    // The address comes over the network: only a web address goes to the desktop, never a
    // local file or program that its handler would open or run.
    const QString scheme = appUrl.scheme().toLower();
    if (!appUrl.isEmpty() && (scheme == "http" || scheme == "https"))
        QDesktopServices::openUrl(appUrl);
}
