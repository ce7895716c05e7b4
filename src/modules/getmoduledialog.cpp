#include "getmoduledialog.h"
#include "ui_getmoduledialog.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>

#include "core/logcategories.h"
#include "core/replylimit.h"
#include "core/savedfile.h"
#include "core/stavimor.h"
#include "modules/moduleloader.h"
#include "update/downloaderdialog.h"

GetModuleDialog::GetModuleDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::GetModuleDialog)
    , manager(new QNetworkAccessManager(this))
{
    ui->setupUi(this);
    setEnabled(false);
    downloadXml();
    connect(ui->downloadButton, &QPushButton::clicked, this, &GetModuleDialog::downloadPlugin);
}

GetModuleDialog::~GetModuleDialog()
{
    delete ui;
}

void GetModuleDialog::downloadXml()
{
    QNetworkReply *reply = manager->get(QNetworkRequest(Stavimor::moduleUpdateUrl()));
    ReplyLimit::apply(reply, ReplyLimit::documentBytes);
    connect(reply, &QNetworkReply::finished, this, &GetModuleDialog::parseXml);
}

void GetModuleDialog::parseXml()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    const QString stopped = ReplyLimit::reason(reply);
    ui->messageLabel->setVisible(!stopped.isEmpty());
    ui->messageLabel->setText(tr("the module catalogue could not be read: %1").arg(stopped));
    const QDomDocument document = ReplyLimit::document(reply);
    for (QDomNode entry = document.documentElement().firstChild(); !entry.isNull();
         entry = entry.nextSibling()) {
        const QDomElement element = entry.toElement();
        auto *item = new QTreeWidgetItem(ui->treeWidget);
        item->setIcon(0, QIcon(":16x16/plugin.png"));
        item->setText(0, element.attribute("title"));
        item->setText(1, element.attribute("version"));
        item->setText(2, element.firstChildElement("comment").text());
        item->setToolTip(2, item->text(2));
        item->setData(0, Qt::UserRole, element.firstChildElement("path").text());
    }
    ui->treeWidget->resizeColumnToContents(0);
    ui->treeWidget->resizeColumnToContents(1);
    setEnabled(true);
    reply->deleteLater();
}

void GetModuleDialog::downloadPlugin()
{
    const QList<QTreeWidgetItem *> selected = ui->treeWidget->selectedItems();
    if (selected.isEmpty())
        return;
    // The download waits in a folder of its own, so that nothing is left beside the program
    // (often the working directory) or half-written in the modules folder.
    const QTemporaryDir download;
    auto *downloader = new DownloaderDialog(this);
    downloader->setDirectory(download.path());
    downloader->startDownload(QUrl(selected.first()->data(0, Qt::UserRole).toString()));
    const int result = downloader->exec();
    const QString saved = downloader->savedFilePath;
    downloader->deleteLater();
    if (result != QDialog::Accepted) {
        reject();
        return;
    }
    qCDebug(lcApp).noquote() << "YES!!";
    const QDir modules = ModuleLoader::directory();
    modules.mkpath(".");
    // A module of that name already installed is kept, as before; any other failure leaves no
    // partial module behind and is said.
    const QString target = modules.absoluteFilePath(QFileInfo(saved).fileName());
    QString error;
    if (!SavedFile::copy(saved, target, &error) && !QFile::exists(target)) {
        QMessageBox::warning(this, tr("module not installed"), error);
        reject();
        return;
    }
    accept();
}
