#include "sqlquerydialog.h"
#include "ui_sqlquerydialog.h"

#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QTimer>

#include "query/queryresultmodel.h"

SqlQueryDialog::SqlQueryDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SqlQueryDialog)
    , model(new QueryResultModel(this))
    , proxy(new QSortFilterProxyModel(this))
    , runner(new QueryRunner(this))
    , ticker(new QTimer(this))
{
    ui->setupUi(this);
    ui->messageLabel->hide();
    proxy->setSourceModel(model);
    ui->tableView->setModel(proxy);
    ticker->setInterval(500);
    connect(ticker, &QTimer::timeout, this, &SqlQueryDialog::showRunning);
    connect(runner, &QueryRunner::finished, this, &SqlQueryDialog::showResult);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &SqlQueryDialog::setFilter);
}

SqlQueryDialog::~SqlQueryDialog()
{
    delete ui;
}

void SqlQueryDialog::setQuery(const QString &query)
{
    ui->comboBox->clear();
    model->clear();
    if (!runner->start(query, false))
        return;
    showRunning();
    ticker->start();
}

void SqlQueryDialog::showRunning()
{
    ui->statusLabel->setText(tr("running... %1 s").arg(runner->elapsed() / 1000));
}

void SqlQueryDialog::showResult(const QueryRunner::Result &result)
{
    ticker->stop();
    // A failed statement leaves the table and the column choice empty, without a message.
    ui->statusLabel->setText(result.ok()
                                 ? tr("%n row(s) in %1 s", "", result.rows.size())
                                       .arg(QString::number(result.elapsed / 1000.0, 'f', 3))
                                 : QString());
    model->setResult(result.columns, result.rows);
    for (int i = 0; i < result.columns.count(); ++i)
        ui->comboBox->addItem(result.columns.fieldName(i));
    // A pattern typed while the statement ran applies to the column now chosen.
    if (!ui->lineEdit->text().isEmpty())
        setFilter(ui->lineEdit->text());
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
