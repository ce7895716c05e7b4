#include "queryeditor.h"
#include "ui_queryeditor.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQueryModel>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/readonlyrunner.h"
#include "db/sqlhelper.h"
#include "editor/modelexporter.h"
#include "query/querysavedialog.h"
#include "query/savedqueries.h"

QueryEditor::QueryEditor(const QString &query, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::QueryEditor)
    , model(new QSqlQueryModel(this))
{
    ui->setupUi(this);
    ui->tableView->setModel(model);
    if (!query.isEmpty()) {
        ui->textEdit->setPlainText(query);
        run();
    }
    ui->centralwidget->layout()->setContentsMargins(0, 0, 0, 0);
    ui->verticalLayout_2->setContentsMargins(0, 0, 0, 0);
    ui->verticalLayout_3->setContentsMargins(0, 0, 0, 0);
    connect(ui->actionRun, &QAction::triggered, this, &QueryEditor::run);
    connect(ui->actionclear, &QAction::triggered, this, &QueryEditor::clear);
    connect(ui->actionSave, &QAction::triggered, this, &QueryEditor::save);
    connect(ui->actionCsv, &QAction::triggered, this, &QueryEditor::exportCsv);
    connect(ui->actionPdf, &QAction::triggered, this, &QueryEditor::exportPdf);
    connect(ui->textEdit, &QTextEdit::textChanged, this, &QueryEditor::queryChanged);
    ui->tabWidget->setCurrentIndex(0);
    setAction(false);
}

QueryEditor::~QueryEditor()
{
    delete ui;
}

void QueryEditor::edit(const QString &query)
{
    ui->textEdit->setPlainText(query);
}

void QueryEditor::run()
{
    SqlHelper::reopenIfLost();
    const QString text = ui->textEdit->document()->toPlainText();
    QString refusal;
    if (Stavimor::instance()->userManager->isAdministrator()) {
        model->setQuery(text, QSqlDatabase::database());
    } else {
        QSqlQuery query;
        ReadOnlyRunner::run(query, text, &refusal);
        model->setQuery(std::move(query));
    }
    const QSqlError error = model->lastError();
    QString message = refusal.isEmpty() ? error.text() : refusal + "\n" + error.text();
    if (SqlHelper::isConnectionLost(error))
        message +=
            tr("\nThe connection to the server was lost; it is opened again at the next run.");
    ui->messageTextEdit->setPlainText(message);
    const bool ok = error.type() == QSqlError::NoError && refusal.isEmpty();
    ui->tabWidget->setCurrentIndex(ok ? 0 : 1);
    setAction(ok);
    ui->tableView->horizontalHeader()->setStretchLastSection(true);
    ui->tableView->resizeColumnsToContents();
}

void QueryEditor::clear()
{
    model->clear();
    ui->textEdit->clear();
}

void QueryEditor::save()
{
    QuerySaveDialog dialog(nullptr);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (SavedQueries::save(dialog.name(), ui->textEdit->toPlainText(), dialog.groupId()))
        emit saved();
    else
        QMessageBox::warning(this, tr("error"),
                             tr("the query %1 could not be saved; the one saved before under "
                                "this name is kept")
                                 .arg(dialog.name()));
}

void QueryEditor::setAction(bool enable)
{
    ui->actionSave->setEnabled(enable);
    ui->actionPdf->setEnabled(enable);
    ui->actionCsv->setEnabled(enable);
}

void QueryEditor::queryChanged()
{
    setAction(false);
}

void QueryEditor::exportCsv()
{
    const QString fileName =
        QFileDialog::getSaveFileName(this, tr("save csv"), QString(), tr("CSV Files (*.csv)"));
    if (fileName.isEmpty())
        return;
    if (!ModelExporter(model).writeCsv(fileName, ModelExporter::ColumnHeader))
        QMessageBox::warning(this, tr("error"), tr("cannot write %1").arg(fileName));
}

void QueryEditor::exportPdf()
{
    const QString fileName =
        QFileDialog::getSaveFileName(this, tr("save pdf"), QString(), tr("PDF Files (*.pdf)"));
    if (fileName.isEmpty())
        return;
    if (!ModelExporter(model).writePdf(fileName, ui->textEdit->toPlainText()))
        QMessageBox::warning(this, tr("error"), tr("cannot write %1").arg(fileName));
}
