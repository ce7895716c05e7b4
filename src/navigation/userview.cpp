#include "userview.h"
#include "ui_userview.h"

#include <QAction>
#include <QDesktopServices>
#include <QMessageBox>
#include <QSortFilterProxyModel>
#include <QUrl>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "navigation/contactlistdelegate.h"
#include "navigation/contactlistmodel.h"
#include "query/sqlquerydialog.h"

UserView::UserView(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UserView)
    , model(new ContactListModel(this))
    , filter(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    filter->setSourceModel(model);
    filter->setFilterCaseSensitivity(Qt::CaseInsensitive);
    ui->listView->setModel(filter);
    ui->listView->setItemDelegate(new ContactListDelegate(this));
    ui->lineEdit->setPlaceholderText(tr("filter contacts"));
    ui->lineEdit->setClearButtonEnabled(true);
    connect(ui->lineEdit, &QLineEdit::textChanged, filter,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(ui->pushButton, &QPushButton::clicked, this, &UserView::addContact);
    connect(ui->listView, &QListView::doubleClicked, this, &UserView::openContact);

    auto *remove = new QAction(QIcon(":16x16/user_delete.png"), tr("remove contact"), this);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetShortcut);
    ui->listView->addAction(remove);
    ui->listView->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(remove, &QAction::triggered, this, &UserView::remContact);
    connect(model, &ContactListModel::failed, this,
            [this](const QString &message) { QMessageBox::warning(this, tr("error"), message); });
}

UserView::~UserView()
{
    delete ui;
}

void UserView::addContact()
{
    SqlQueryDialog dialog(nullptr);
    dialog.setQuery("select id,username,first_name,second_name from users");
    const QList<QSqlRecord> chosen =
        dialog.exec() == QDialog::Accepted ? dialog.selectedRecords() : QList<QSqlRecord>();
    model->addContact(chosen.isEmpty() ? QVariant() : chosen.first().value("id"));
}

void UserView::remContact()
{
    const QModelIndex current = ui->listView->currentIndex();
    if (current.isValid())
        model->remContact(filter->mapToSource(current));
}

void UserView::openContact(QModelIndex index)
{
    const QString email = index.data(ContactListModel::EmailRole).toString();
    if (email.isEmpty())
        return;
    QUrl mail;
    mail.setScheme("mailto");
    mail.setPath(email);
    QDesktopServices::openUrl(mail);
}

void UserView::load()
{
    const UserManager *users = Stavimor::instance()->userManager;
    model->load(users->currentUser.value("id").toInt());
    ui->listWidget->clear();
    for (const QSqlRecord &group : users->userGroups)
        ui->listWidget->addItem(
            new QListWidgetItem(QIcon(":16x16/group.png"), group.value("name").toString()));
}

void UserView::clear()
{
    model->load(0);
    ui->lineEdit->clear();
    ui->listWidget->clear();
}
