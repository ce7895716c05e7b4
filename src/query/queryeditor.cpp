#include "queryeditor.h"
#include "ui_queryeditor.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/savedqueries.h"
#include "db/sqlhelper.h"
#include "editor/modelexporter.h"
#include "query/queryresultmodel.h"
#include "query/querysavedialog.h"

QueryEditor::QueryEditor(const QString &query, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::QueryEditor)
    , model(new QueryResultModel(this))
    , runner(new QueryRunner(this))
    , ticker(new QTimer(this))
{
    ui->setupUi(this);
    ui->tableView->setModel(model);
    ticker->setInterval(500);
    connect(ticker, &QTimer::timeout, this, &QueryEditor::showRunning);
    connect(runner, &QueryRunner::finished, this, &QueryEditor::showResult);
    if (!query.isEmpty()) {
        ui->textEdit->setPlainText(query);
        initialRun = true;
        run();
    }
    ui->centralwidget->layout()->setContentsMargins(0, 0, 0, 0);
    ui->verticalLayout_2->setContentsMargins(0, 0, 0, 0);
    ui->verticalLayout_3->setContentsMargins(0, 0, 0, 0);
    connect(ui->actionRun, &QAction::triggered, this, &QueryEditor::run);
    connect(ui->actionCancel, &QAction::triggered, this, &QueryEditor::cancel);
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
    if (runner->isRunning())
        return;
    SqlHelper::reopenIfLost();
    ranText = ui->textEdit->document()->toPlainText();
    runner->start(ranText, !Stavimor::instance()->userManager->isAdministrator());
    ui->actionRun->setEnabled(false);
    ui->actionCancel->setEnabled(true);
    showRunning();
    ticker->start();
}

void QueryEditor::cancel()
{
    QString error;
    if (runner->cancel(&error))
        statusBar()->showMessage(tr("cancelling..."));
    else if (!error.isEmpty())
        statusBar()->showMessage(tr("the statement could not be stopped: %1").arg(error));
}

void QueryEditor::showRunning()
{
    if (ui->actionCancel->isEnabled())
        statusBar()->showMessage(tr("running... %1 s").arg(runner->elapsed() / 1000));
}

void QueryEditor::showResult(const QueryRunner::Result &result)
{
    ticker->stop();
    ui->actionRun->setEnabled(true);
    ui->actionCancel->setEnabled(false);
    model->setResult(result.columns, result.rows);
    const QSqlError &error = result.error;
    QString message =
        result.refusal.isEmpty() ? error.text() : result.refusal + "\n" + error.text();
    if (result.cancelled)
        message = tr("The statement was cancelled.") + (message.isEmpty() ? "" : "\n" + message);
    if (SqlHelper::noteLostConnection(error))
        message +=
            tr("\nThe connection to the server was lost; it is opened again at the next run.");
    ui->messageTextEdit->setPlainText(message);
    const QString seconds = QString::number(result.elapsed / 1000.0, 'f', 3);
    if (!result.ok())
        statusBar()->showMessage(result.cancelled ? tr("cancelled after %1 s").arg(seconds)
                                                  : tr("failed after %1 s").arg(seconds));
    else if (result.columns.isEmpty())
        statusBar()->showMessage(
            tr("%n row(s) affected in %1 s", "", result.rowsAffected).arg(seconds));
    else
        statusBar()->showMessage(
            tr("%n row(s) returned in %1 s", "", result.rows.size()).arg(seconds));
    ui->tableView->horizontalHeader()->setStretchLastSection(true);
    ui->tableView->resizeColumnsToContents();
    if (initialRun) {
        initialRun = false;
        return;
    }
    ui->tabWidget->setCurrentIndex(result.ok() ? 0 : 1);
    // An edit made while it ran leaves nothing to save.
    setAction(result.ok() && ui->textEdit->document()->toPlainText() == ranText);
}

void QueryEditor::closeEvent(QCloseEvent *event)
{
    if (runner->isRunning()) {
        const auto answer = QMessageBox::question(
            this, tr("statement running"),
            tr("A statement is still running. Stop it and close the window?"));
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        cancel();
    }
    event->accept();
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
    QSqlError error;
    if (SavedQueries::save(dialog.name(), ui->textEdit->toPlainText(), dialog.groupId(), &error))
        emit saved();
    else
        QMessageBox::warning(this, tr("error"),
                             tr("the query %1 could not be saved; the one saved before under "
                                "this name is kept")
                                     .arg(dialog.name()) +
                                 "\n" + error.text());
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
