#include "authsadminformwidget.h"
#include "ui_authsadminformwidget.h"

#include <QDebug>
#include <QMessageBox>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlRelationalDelegate>

#include "admin/admintablemodel.h"
#include "core/logcategories.h"
#include "db/sqlhelper.h"
#include "forms/unsavedquestion.h"

namespace {
// The member column; the table's column order is id, group_id, user_id.
const int memberColumn = 2;
} // namespace

AuthsAdminFormWidget::AuthsAdminFormWidget(QWidget *parent)
    : TableAdminFormWidget(parent)
    , ui(new Ui::AuthsAdminFormWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("Auths"));
    setWindowIcon(QIcon(":/16x16/key.png"));
    setUpModel(ui->tableView, "groups_users");
    connect(ui->addButton, &QPushButton::clicked, this, &AuthsAdminFormWidget::addAuth);
    connect(ui->delButton, &QPushButton::clicked, this, &AuthsAdminFormWidget::delAuth);

    fillGroups();
    ui->tableView->setItemDelegate(new QSqlRelationalDelegate(ui->tableView));
    model->setRelation(memberColumn, QSqlRelation("users", "id", "username"));
    // A membership whose user is gone still shows, so that it can be removed.
    model->setJoinMode(QSqlRelationalTableModel::LeftJoin);
    model->setRequiredColumn(memberColumn, tr("Every membership needs a member."));
    connect(ui->comboBox, &QComboBox::activated, this, &AuthsAdminFormWidget::chooseGroup);

    load();
    hideColumns({"id", "group_id"});
    setColumnLabel(memberColumn, tr("Member"));
}

AuthsAdminFormWidget::~AuthsAdminFormWidget()
{
    delete ui;
}

void AuthsAdminFormWidget::showEvent(QShowEvent *event)
{
    TableAdminFormWidget::showEvent(event);
    const QVariant shown = ui->comboBox->currentData();
    fillGroups();
    model->relationModel(memberColumn)->select();
    const int index = qMax(0, ui->comboBox->findData(shown));
    ui->comboBox->setCurrentIndex(index);
    if (ui->comboBox->currentData() != shown)
        setGroupFilter();
}

void AuthsAdminFormWidget::fillGroups()
{
    ui->comboBox->clear();
    for (const QSqlRecord &group : SqlHelper::groups())
        ui->comboBox->addItem(QIcon(":16x16/group.png"), group.value("name").toString(),
                              group.value("id"));
}

bool AuthsAdminFormWidget::load()
{
    if (!TableAdminFormWidget::load())
        return false;
    setGroupFilter();
    return true;
}

void AuthsAdminFormWidget::setGroupFilter()
{
    shownGroup = ui->comboBox->currentData();
    model->setFilter(SqlHelper::membershipFilter(shownGroup));
    qCDebug(lcApp).noquote() << model->query().lastQuery();
}

void AuthsAdminFormWidget::chooseGroup()
{
    if (settlePending())
        setGroupFilter();
    else
        ui->comboBox->setCurrentIndex(ui->comboBox->findData(shownGroup));
}

bool AuthsAdminFormWidget::settlePending()
{
    if (!model->isDirty())
        return true;
    return UnsavedQuestion::settle(
        this,
        tr("The memberships of %1 have changes not applied yet.")
            .arg(ui->comboBox->itemText(ui->comboBox->findData(shownGroup))),
        tr("Apply writes them now, Discard drops them, Cancel keeps them and stays on this group."),
        QMessageBox::Apply, [this] {
            if (save())
                return true;
            QMessageBox::warning(this, tr("Not saved"), errorString());
            return false;
        });
}

void AuthsAdminFormWidget::addAuth()
{
    // Without a group to join, a membership could never be seen or removed here.
    if (ui->comboBox->currentIndex() < 0)
        return;
    QSqlRecord record = model->record();
    record.setValue("group_id", ui->comboBox->currentData());
    appendRecord(record);
}

void AuthsAdminFormWidget::delAuth()
{
    // A membership not applied yet just goes; the others go from the table at once, and the
    // page reads its rows again.
    QVariantList ids;
    for (int row : selectedRows()) {
        const QVariant id = model->record(row).value("id");
        if (id.isNull())
            model->removeRow(row);
        else
            ids << id;
    }
    if (ids.isEmpty() || !settlePending())
        return;
    QStringList failures;
    for (const QVariant &id : ids) {
        QSqlError error;
        if (!SqlHelper::remove("groups_users", id, &error))
            failures << error.text();
    }
    model->select();
    if (!failures.isEmpty())
        QMessageBox::warning(this, tr("error"),
                             tr("cannot remove the membership: %1").arg(failures.join("\n")));
}
