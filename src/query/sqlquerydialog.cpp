#include "sqlquerydialog.h"
#include "ui_sqlquerydialog.h"

#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlQueryModel>

SqlQueryDialog::SqlQueryDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SqlQueryDialog)
    , model(new QSqlQueryModel(this))
    , proxy(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    ui->messageLabel->hide();
    ui->tableView->setModel(proxy);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &SqlQueryDialog::setFilter);
}

SqlQueryDialog::~SqlQueryDialog()
{
    delete ui;
}

void SqlQueryDialog::setQuery(const QString &query)
{
    ui->comboBox->clear();
    model->setQuery(query, QSqlDatabase::database());
    proxy->setSourceModel(model);
    const QSqlRecord columns = model->record();
    for (int i = 0; i < columns.count(); ++i)
        ui->comboBox->addItem(columns.fieldName(i));
}

void SqlQueryDialog::setFilter(const QString &filter)
{
    proxy->setFilterKeyColumn(ui->comboBox->currentIndex());
    const QRegularExpression pattern(filter);
    // An unfinished pattern matches nothing; the user is told why the rows went away.
    ui->messageLabel->setVisible(!pattern.isValid());
    ui->messageLabel->setText(
        pattern.isValid() ? QString() : tr("invalid pattern: %1").arg(pattern.errorString()));
    proxy->setFilterRegularExpression(pattern);
}

QList<QSqlRecord> SqlQueryDialog::selectedRecords() const
{
    QList<QSqlRecord> records;
    for (const QModelIndex &index : ui->tableView->selectionModel()->selectedRows())
        records << model->record(proxy->mapToSource(index).row());
    return records;
}
