#include "exttableeditor.h"
#include "ui_exttableeditor.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QSettings>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QUrl>
#include <algorithm>
#include <numeric>

#include "core/logcategories.h"
#include "core/stavimor.h"
#include "core/usermanager.h"
#include "editor/extdelegate.h"
#include "editor/exthistorymodel.h"
#include "editor/extquestionswidget.h"
#include "editor/extrecordeditor.h"
#include "editor/extrecordmodel.h"
#include "editor/extsignaturedialog.h"
#include "editor/extstatecommand.h"
#include "editor/exttableview.h"
#include "editor/extxmlmodel.h"
#include "editor/modelexporter.h"
#include "forms/unsavedquestion.h"
#include "model/extaudittrail.h"
#include "model/extmetadata.h"

ExtTableEditor::ExtTableEditor(const QString &schemaFile, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ExtTableEditor)
{
    ui->setupUi(this);
    searchEdit = new QLineEdit;
    searchEdit->setPlaceholderText(tr("search"));
    searchEdit->setClearButtonEnabled(true);
    ui->searchToolbar->addWidget(searchEdit);
    reviewFilter = new QComboBox;
    reviewFilter->setObjectName("reviewFilter");
    reviewFilter->addItem(tr("all rows"), AllRows);
    reviewFilter->addItem(tr("rows with an error"), RowsWithError);
    reviewFilter->addItem(tr("rows not fully reviewed"), RowsNotReviewed);
    reviewFilter->addItem(tr("rows I marked"), RowsMarked);
    ui->searchToolbar->addWidget(reviewFilter);

    model = new ExtXmlModel(schemaFile);
    recordEditor = new ExtRecordEditor(model);
    fieldList = new QListWidget;
    ui->tableView->setModel(model);
    delegate = new ExtDelegate(this);
    ui->tableView->setItemDelegate(delegate);
    // The editor opens without loading: the empty grid says how to fill it.
    ui->tableView->setEmptyText(tr("Press refresh (F5) to load the rows you may see"));
    ui->tabWidget->addTab(recordEditor, tr("form"));
    ui->tabWidget->addTab(fieldList, tr("fields"));
    historyModel = new ExtHistoryModel(model, this);
    historyView = new ExtTableView;
    historyView->setObjectName("historyView");
    historyView->setModel(historyModel);
    historyView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    historyView->setSelectionBehavior(QAbstractItemView::SelectRows);
    historyView->verticalHeader()->hide();
    historyView->horizontalHeader()->setStretchLastSection(true);
    ui->tabWidget->addTab(historyView, tr("history"));
    questionsWidget = new ExtQuestionsWidget(model);
    questionsWidget->setObjectName("questionsWidget");
    ui->tabWidget->addTab(questionsWidget, tr("questions"));
    connect(ui->tableView, &QTableView::clicked, this,
            [this](const QModelIndex &index) { questionsWidget->setRow(index.row()); });
    signAction = new QAction(QIcon(":/16x16/security.png"), tr("Sign row..."), this);
    signAction->setObjectName("actionSign");
    withdrawAction = new QAction(tr("Withdraw signature..."), this);
    withdrawAction->setObjectName("actionWithdraw");
    ui->menuView->addSeparator();
    ui->menuView->addActions({signAction, withdrawAction});
    connect(signAction, &QAction::triggered, this, &ExtTableEditor::signRows);
    connect(withdrawAction, &QAction::triggered, this, &ExtTableEditor::withdrawSignature);
    connect(model, &ExtModel::refused, this, &ExtTableEditor::showRefusal);
    // A signed row opens no editor: a double click says why.
    connect(ui->tableView, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { model->refuseSigned(index.row()); });

    progressBar = new QProgressBar;
    progressBar->setRange(0, 100);
    progressBar->setMaximumWidth(160);
    progressBar->hide();
    statusBar()->addPermanentWidget(progressBar);
    savedLabel = new QLabel;
    savedLabel->setObjectName("savedLabel");
    statusBar()->addPermanentWidget(savedLabel);
    summaryLabel = new QLabel;
    summaryLabel->setObjectName("summaryLabel");
    statusBar()->addPermanentWidget(summaryLabel);
    summaryTimer = new QTimer(this);
    summaryTimer->setSingleShot(true);
    summaryTimer->setInterval(0);
    connect(summaryTimer, &QTimer::timeout, this, &ExtTableEditor::updateSummary);
    const auto soon = [this] { summaryTimer->start(); };
    connect(model, &ExtModel::dataChanged, summaryTimer, soon);
    connect(model, &ExtModel::rowsInserted, summaryTimer, soon);
    connect(model, &ExtModel::rowsRemoved, summaryTimer, soon);

    reviewSteps = new QUndoStack(this);
    QAction *undo = reviewSteps->createUndoAction(this, tr("undo"));
    undo->setObjectName("actionUndoReview");
    undo->setShortcut(QKeySequence::Undo);
    ui->menuView->insertAction(ui->actionReviewStates, undo);
    ui->menuView->insertSeparator(ui->actionReviewStates);
    // The state keys act on the grid's selection only while the grid has the focus. Undo
    // serves the form's steps too; a line edit with the focus keeps Ctrl+Z for itself.
    for (QAction *action : {ui->actionError, ui->actionTodo, ui->actionValid}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        ui->tableView->addAction(action);
    }
    const bool statesShown = QSettings().value("editor/reviewStates", true).toBool();
    ui->actionReviewStates->setChecked(statesShown);
    delegate->setStatesShown(statesShown);
    connect(ui->actionReviewStates, &QAction::toggled, this, &ExtTableEditor::showStates);
    connect(ui->actionError, &QAction::triggered, this, [this] { setSelectedStates(-1); });
    connect(ui->actionTodo, &QAction::triggered, this, [this] { setSelectedStates(0); });
    connect(ui->actionValid, &QAction::triggered, this, [this] { setSelectedStates(1); });
    connect(ui->tableView, &QWidget::customContextMenuRequested, this,
            &ExtTableEditor::showGridMenu);
    watchFormButtons();
    // The form shows a copy of its row: after a step, or its undo, it is copied again.
    connect(reviewSteps, &QUndoStack::indexChanged, this, [this] {
        ExtRecordModel *form = recordEditor->recordModel;
        if (form->row() >= 0 && form->row() < model->rowCount())
            form->setRecordFromIndex(model->index(form->row(), 0));
    });

    connect(ui->actionRefresh, &QAction::triggered, this, &ExtTableEditor::refresh);
    connect(ui->tableView, &QTableView::clicked, recordEditor->recordModel,
            &ExtRecordModel::setRecordFromIndex);
    connect(ui->actionFields, &QAction::triggered, this, &ExtTableEditor::showFields);
    connect(ui->actionForm, &QAction::triggered, this, &ExtTableEditor::showForm);
    connect(ui->actionRem, &QAction::triggered, this, &ExtTableEditor::rem);
    connect(ui->actionSave, &QAction::triggered, this, &ExtTableEditor::save);
    connect(ui->actionAdd, &QAction::triggered, this, &ExtTableEditor::add);
    connect(ui->actionMark, &QAction::triggered, this, &ExtTableEditor::mark);
    connect(ui->actionCsv, &QAction::triggered, this, &ExtTableEditor::exportCsv);
    connect(ui->actionCsvReview, &QAction::triggered, this, &ExtTableEditor::exportReviewCsv);
    connect(ui->actionPrint, &QAction::triggered, this, &ExtTableEditor::print);
    connect(ui->actionClose, &QAction::triggered, this, &QWidget::close);
    connect(ui->tableView, &QTableView::clicked, this, &ExtTableEditor::itemClicked);
    connect(ui->tableView, &QTableView::clicked, historyModel,
            &ExtHistoryModel::setRecordFromIndex);
    connect(fieldList, &QListWidget::itemClicked, this, &ExtTableEditor::fieldChecked);
    connect(model, &ExtModel::messageChanged, this, &ExtTableEditor::showModelMessage);
    connect(model, &ExtModel::progress, this, &ExtTableEditor::showProgress);
    connect(searchEdit, &QLineEdit::textChanged, this, &ExtTableEditor::search);
    connect(reviewFilter, &QComboBox::currentIndexChanged, this,
            [this] { search(searchEdit->text()); });
    // The header sorts; the model itself keeps its order.
    ui->tableView->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    ui->tableView->setSortingEnabled(true);
    connect(ui->tableView->horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            &ExtTableEditor::sortRows);

    ui->tabWidget->hide();
    ui->tabWidget->setContentsMargins(0, 0, 0, 0);
    recordEditor->setContentsMargins(0, 0, 0, 0);
}

ExtTableEditor::~ExtTableEditor()
{
    // The stack goes with the children, after the model: its last signals find no form.
    reviewSteps->disconnect(this);
    delete ui;
    delete model;
}

void ExtTableEditor::beginWork()
{
    setEnabled(false);
    savedLabel->clear();
    progressBar->setValue(0);
    progressBar->show();
}

void ExtTableEditor::endWork()
{
    progressBar->hide();
    setEnabled(true);
    // The rows were read again: earlier steps point at rows that are gone.
    reviewSteps->clear();
    readTrail();
    const QHeaderView *header = ui->tableView->horizontalHeader();
    sortRows(header->sortIndicatorSection(), header->sortIndicatorOrder());
    search(searchEdit->text());
}

void ExtTableEditor::readTrail()
{
    offerFilter(RowsChanged, tr("rows changed since reviewed"), model->keepsAuditTrail());
    offerFilter(RowsWithQuestions, tr("rows with open questions"), model->keepsReview());
    signAction->setEnabled(model->keepsReview());
    withdrawAction->setEnabled(model->keepsReview());
    changedRows.clear();
    if (model->keepsAuditTrail())
        changedRows = ExtAuditTrail(model->tableName, QVariant()).changedSinceReviewed();
}

void ExtTableEditor::offerFilter(ReviewFilter filter, const QString &text, bool offered)
{
    const int entry = reviewFilter->findData(filter);
    if (!offered && entry >= 0)
        reviewFilter->removeItem(entry);
    else if (offered && entry < 0)
        reviewFilter->addItem(text, filter);
}

void ExtTableEditor::showProgress(int percent)
{
    progressBar->setValue(percent);
    // The work runs in this thread: let the bar and the status line repaint meanwhile. The
    // window is disabled, so no input reaches it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString ExtTableEditor::tableName() const
{
    return QFileInfo(model->fileName).baseName();
}

bool ExtTableEditor::settleUnsaved(const QList<ExtTableEditor *> &editors, QWidget *parent)
{
    QList<ExtTableEditor *> pending;
    QStringList tables;
    for (ExtTableEditor *editor : editors) {
        const int rows = editor->model->pendingRowCount();
        if (rows == 0)
            continue;
        pending << editor;
        tables << (rows == 1 ? tr("%1 (1 row)").arg(editor->tableName())
                             : tr("%1 (%2 rows)").arg(editor->tableName()).arg(rows));
    }
    if (pending.isEmpty())
        return true;
    // The first failed save stops here, with its message.
    return UnsavedQuestion::settle(
        parent, tr("Unsaved changes in %1.").arg(tables.join(", ")),
        tr("New, changed and deleted rows, review states and marks are kept only until they are "
           "saved. Save them now?"),
        QMessageBox::Save, [&pending] {
            return std::all_of(pending.cbegin(), pending.cend(),
                               [](ExtTableEditor *editor) { return editor->save(); });
        });
}

void ExtTableEditor::closeEvent(QCloseEvent *event)
{
    if (settleUnsaved({this}, this))
        event->accept();
    else
        event->ignore();
}

void ExtTableEditor::refresh()
{
    if (!settleUnsaved({this}, this))
        return;
    beginWork();
    const bool loaded = model->load();
    ui->tableView->resizeColumnsToContents();
    ui->tableView->verticalHeader()->setDefaultSectionSize(20);
    ui->tableView->horizontalHeader()->setStretchLastSection(true);
    fieldList->clear();
    for (int column = 0; column < model->columnCount(); ++column) {
        auto *item = new QListWidgetItem(QIcon(":16x16/tag.png"),
                                         model->headerData(column, Qt::Horizontal).toString());
        item->setData(Qt::UserRole, column);
        item->setCheckState(Qt::Checked);
        fieldList->addItem(item);
    }
    endWork();
    if (loaded)
        ui->tableView->setEmptyText(tr("There are no rows in this table that you may see."));
    // Where the trail would be shown: the status line belongs to the model's messages.
    if (loaded)
        historyView->setEmptyText(
            model->keepsAuditTrail()
                ? QString()
                : tr("no audit trail is kept: the database has no table ext_records_audit"));
}

void ExtTableEditor::add()
{
    model->insertRecord(-1);
    ui->tableView->selectRow(model->rowCount() - 1);
}

// The rows with a selected cell, highest first, so that a row leaving the list does not shift
// the ones still to come.
QList<int> ExtTableEditor::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : ui->tableView->selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void ExtTableEditor::setSelectedStates(int state)
{
    QModelIndexList fields;
    for (const QModelIndex &index : ui->tableView->selectionModel()->selectedIndexes()) {
        if (index.column() < 2 || ui->tableView->isRowHidden(index.row()) ||
            ui->tableView->isColumnHidden(index.column()))
            continue;
        // The key and the group are no data to review; the progress leaves them out too.
        const QString name = model->columnRecord.fieldName(index.column() - 2);
        if (name.compare("id", Qt::CaseInsensitive) != 0 &&
            name.compare("group_id", Qt::CaseInsensitive) != 0)
            fields << index;
    }
    if (fields.isEmpty())
        return;
    reviewSteps->push(new ExtStateCommand(model, fields, state));
    ui->tableView->viewport()->update();
}

void ExtTableEditor::watchFormButtons()
{
    const auto *formView = recordEditor->findChild<QTableView *>("tableView");
    const QList<std::pair<const char *, int>> buttons = {
        {"errorButton", -1}, {"todoButton", 0}, {"validButton", 1}};
    for (const auto &[name, state] : buttons) {
        auto *button = recordEditor->findChild<QToolButton *>(name);
        connect(button, &QToolButton::pressed, this, [this, formView, state = state] {
            const int row = recordEditor->recordModel->row();
            QModelIndexList fields;
            for (const QModelIndex &field : formView->selectionModel()->selectedRows(0))
                fields << model->index(row, field.row() + 2);
            formStep.reset(row >= 0 && row < model->rowCount() && !fields.isEmpty()
                               ? new ExtStateCommand(model, fields, state)
                               : nullptr);
        });
        // After the form's own handler, which set the states: pushing sets them once more.
        connect(button, &QToolButton::clicked, this, [this] {
            if (formStep)
                reviewSteps->push(formStep.release());
        });
    }
}

void ExtTableEditor::showStates(bool shown)
{
    QSettings().setValue("editor/reviewStates", shown);
    delegate->setStatesShown(shown);
    ui->tableView->viewport()->update();
}

void ExtTableEditor::showGridMenu(const QPoint &position)
{
    QMenu menu(this);
    menu.addActions({ui->actionError, ui->actionTodo, ui->actionValid});
    menu.addAction(findChild<QAction *>("actionUndoReview"));
    menu.addSeparator();
    menu.addActions({ui->actionMark, ui->actionRem});
    if (model->keepsReview()) {
        menu.addSeparator();
        menu.addActions({signAction, withdrawAction});
    }
    menu.exec(ui->tableView->viewport()->mapToGlobal(position));
}

QString ExtTableEditor::reviewSummary() const
{
    const int fields = model->columnRecord.count();
    // As the progress counts them: all fields but the key and the group are reviewed.
    const int reviewed = qMax(1, fields - 2);
    int rows = 0;
    qint64 valid = 0;
    int errors = 0;
    int marked = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (ui->tableView->isRowHidden(row))
            continue;
        const ExtRecord *record = model->records.at(row);
        ++rows;
        int rowValid = 0;
        for (int field = 0; field < fields; ++field)
            rowValid += record->state(field) == 1;
        valid += qMin(rowValid, reviewed);
        errors += hasError(*record);
        marked += record->marked;
    }
    const int percent = rows == 0 ? 0 : int(valid * 100 / (qint64(rows) * reviewed));
    return QStringList{rows == 1 ? tr("1 row") : tr("%1 rows").arg(rows),
                       tr("%1 % valid").arg(percent), tr("%1 with errors").arg(errors),
                       tr("%1 marked").arg(marked)}
        .join(QStringLiteral(" \u00b7 "));
}

void ExtTableEditor::updateSummary()
{
    // A load or save under way ends with a summary of its own.
    if (!isEnabled())
        return;
    summaryLabel->setText(reviewSummary());
    // A state set in the form changes a corner of the grid too.
    ui->tableView->viewport()->update();
}

void ExtTableEditor::rem()
{
    for (int row : selectedRows())
        model->removeRecord(row);
}

void ExtTableEditor::mark()
{
    for (int row : selectedRows())
        model->toggleMark(row);
}

bool ExtTableEditor::save()
{
    const int pending = model->pendingRowCount();
    int failedRow = -1;
    QString reason;
    const QMetaObject::Connection failure =
        connect(model, &ExtModel::saveFailed, this, [&](int row, const QString &why) {
            failedRow = row;
            reason = why;
        });
    beginWork();
    const bool saved = model->save();
    endWork();
    disconnect(failure);
    if (saved) {
        savedLabel->setText(pending == 1 ? tr("1 row saved") : tr("%1 rows saved").arg(pending));
        return true;
    }
    // The status line keeps the model's message; the box gives the reason.
    showSaveFailure(failedRow, reason);
    return false;
}

// A line in the status bar is easily missed: the row that stopped the save stays outlined, and
// a message says which it is and why.
void ExtTableEditor::showSaveFailure(int row, const QString &reason)
{
    if (row < 0)
        return;
    ui->tableView->flagRow(row);
    ui->tableView->selectRow(row);
    ui->tableView->scrollTo(model->index(row, 2));
    QMessageBox box(
        QMessageBox::Warning, tr("not saved"),
        tr("The save of %1 stopped at row %2 (%3).").arg(tableName()).arg(row).arg(rowSummary(row)),
        QMessageBox::Ok, this);
    box.setInformativeText(reason + "\n\n" +
                           tr("The rows before it are saved. This row, outlined in the table, "
                              "and the rows after it are not saved yet."));
    box.exec();
}

QString ExtTableEditor::rowSummary(int row) const
{
    QStringList values;
    for (int column = 2; column < model->columnCount() && values.size() < 3; ++column) {
        if (ui->tableView->isColumnHidden(column))
            continue;
        const QModelIndex index = model->index(row, column);
        QString text = index.data().toString();
        if (auto *delegate =
                qobject_cast<QStyledItemDelegate *>(ui->tableView->itemDelegateForIndex(index)))
            text = delegate->displayText(index.data(), locale());
        if (text.size() > 30)
            text = text.left(29) + QChar(0x2026);
        if (!text.isEmpty())
            values << text;
    }
    return values.join(" | ");
}

void ExtTableEditor::print()
{
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ModelExporter exporter(model);
    if (model->keepsReview()) {
        QList<int> rows(model->rowCount());
        std::iota(rows.begin(), rows.end(), 0);
        exporter.addColumn(tr("signed by"), signedBy(rows));
        exporter.addColumn(tr("signed at"), signedAt(rows));
    }
    exporter.print(&printer, model->tableName);
}

QStringList ExtTableEditor::signedBy(const QList<int> &rows) const
{
    QStringList texts;
    for (int row : rows) {
        const ExtSignature *signature = model->signature(row);
        texts << (signature ? tr("%1 (%2)").arg(signature->userName, signature->meaning)
                            : QString());
    }
    return texts;
}

QStringList ExtTableEditor::signedAt(const QList<int> &rows) const
{
    QStringList texts;
    for (int row : rows) {
        const ExtSignature *signature = model->signature(row);
        texts << (signature ? signature->when.toString("yyyy-MM-dd HH:mm:ss") + " UTC" : QString());
    }
    return texts;
}

void ExtTableEditor::exportCsv()
{
    qCDebug(lcApp) << "export csv";
    const QString fileName =
        QFileDialog::getSaveFileName(this, tr("save csv"), QString(), tr("CSV Files (*.csv)"));
    if (ModelExporter(model).writeCsv(fileName))
        QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
}

void ExtTableEditor::exportReviewCsv()
{
    const QString fileName = QFileDialog::getSaveFileName(this, tr("save csv with review"),
                                                          QString(), tr("CSV Files (*.csv)"));
    if (!fileName.isEmpty() && ModelExporter::writeCsv(fileName, reviewTable()))
        QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
}

QList<QStringList> ExtTableEditor::reviewTable() const
{
    QStringList header;
    for (int column = 2; column < model->columnCount(); ++column) {
        const QString label = model->headerData(column, Qt::Horizontal).toString();
        header << label << tr("%1 state").arg(label);
    }
    header << tr("progress") << tr("mark") << tr("created") << tr("created by") << tr("modified")
           << tr("modified by");
    if (model->keepsReview())
        header << tr("signed by") << tr("signed at");
    QList<QStringList> lines{header};
    const QHash<QString, QString> names = ExtMetadata::userNames();
    const auto user = [&names](const QVariant &id) {
        return id.isNull() ? QString() : names.value(id.toString(), id.toString());
    };
    const auto stamp = [](const QDateTime &when) {
        return when.isNull() ? QString() : when.toString("yyyy-MM-dd HH:mm:ss");
    };
    const QHeaderView *rows = ui->tableView->verticalHeader();
    for (int visual = 0; visual < model->rowCount(); ++visual) {
        const int row = rows->logicalIndex(visual);
        if (ui->tableView->isRowHidden(row))
            continue;
        const ExtRecord *record = model->records.at(row);
        QStringList line;
        for (int column = 2; column < model->columnCount(); ++column) {
            const QVariant value = model->index(row, column).data();
            line << (value.isNull() ? QString() : value.toString())
                 << ExtHistoryModel::stateName(record->state(column - 2));
        }
        line << QString::number(record->progress()) << (record->marked ? "1" : "0")
             << stamp(record->created) << user(record->createdUserId) << stamp(record->modified)
             << user(record->modifiedUserId);
        if (model->keepsReview())
            line << signedBy({row}) << signedAt({row});
        lines << line;
    }
    return lines;
}

QList<int> ExtTableEditor::signableRows(QString *why) const
{
    QList<int> rows;
    for (int row : selectedRows()) {
        const ExtRecord *record = model->records.at(row);
        const QString name = tr("row %1 (%2)").arg(row).arg(rowSummary(row));
        if (record->dirty || record->deleted)
            *why = tr("%1 has changes that are not saved yet.").arg(name);
        else if (record->progress() < 100)
            *why = tr("%1 is not fully reviewed (%2 %).").arg(name).arg(record->progress());
        else if (model->signature(row))
            *why = tr("%1 is signed already.").arg(name);
        else
            rows << row;
        if (!why->isEmpty())
            return {};
    }
    return rows;
}

void ExtTableEditor::signRows()
{
    if (!model->keepsReview())
        return;
    QString why;
    const QList<int> rows = signableRows(&why);
    if (rows.isEmpty()) {
        QMessageBox::information(this, tr("not signed"),
                                 why.isEmpty() ? tr("Select the rows to sign.") : why);
        return;
    }
    const QSqlRecord user = Stavimor::instance()->userManager->currentUser;
    ExtSignatureDialog dialog(ExtSignatureDialog::Sign, user,
                              rows.size() == 1 ? tr("1 row") : tr("%1 rows").arg(rows.size()),
                              this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QList<const ExtRecord *> records;
    for (int row : rows)
        records << model->records.at(row);
    ExtSignatures signatures(model->tableName, user.value("id"));
    if (!signatures.sign(records, dialog.meaning(), &why))
        QMessageBox::warning(this, tr("not signed"), why);
    model->readReview();
}

void ExtTableEditor::withdrawSignature()
{
    const QList<int> rows = selectedRows();
    const ExtSignature *signature = rows.size() == 1 ? model->signature(rows.first()) : nullptr;
    if (!signature) {
        QMessageBox::information(this, tr("no signature"),
                                 tr("Select one signed row to withdraw its signature."));
        return;
    }
    UserManager *users = Stavimor::instance()->userManager;
    const bool administrator = users->isAdministrator();
    if (!administrator &&
        signature->userId.toString() != users->currentUser.value("id").toString()) {
        QMessageBox::information(this, tr("no signature"),
                                 tr("Only %1, who signed the row, or an administrator may "
                                    "withdraw its signature.")
                                     .arg(signature->userName));
        return;
    }
    const ExtSignature withdrawn = *signature;
    ExtSignatureDialog dialog(ExtSignatureDialog::Withdraw, users->currentUser,
                              tr("row %1 (%2)").arg(rows.first()).arg(rowSummary(rows.first())),
                              this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ExtSignatures signatures(model->tableName, users->currentUser.value("id"));
    QString why;
    if (!signatures.withdraw(withdrawn, dialog.reason(), administrator, &why))
        QMessageBox::warning(this, tr("not withdrawn"), why);
    model->readReview();
}

void ExtTableEditor::showRefusal(const QString &reason)
{
    if (!refusalBox) {
        refusalBox = new QMessageBox(QMessageBox::Information, tr("not taken"), QString(),
                                     QMessageBox::Ok, this);
        refusalBox->setObjectName("refusalBox");
    }
    refusalBox->setText(reason);
    refusalBox->open();
}

void ExtTableEditor::showPanel(bool visible, int tab)
{
    ui->tabWidget->setVisible(visible);
    ui->tabWidget->setCurrentIndex(tab);
}

void ExtTableEditor::showFields(bool visible)
{
    showPanel(visible, 1);
}

void ExtTableEditor::showForm(bool visible)
{
    showPanel(visible, 0);
}

void ExtTableEditor::itemClicked(const QModelIndex &index)
{
    ui->actionMark->setIcon(
        QIcon(model->isMarked(index.row()) ? ":16x16/star.png" : ":16x16/star_blue.png"));
}

void ExtTableEditor::search(const QString &text)
{
    // Rows are hidden in the view, not filtered through a proxy, so every index the delegates
    // see still carries its row's record.
    for (int row = 0; row < model->rowCount(); ++row) {
        bool shown = text.isEmpty();
        for (int column = 2; !shown && column < model->columnCount(); ++column)
            shown = model->index(row, column).data().toString().contains(text, Qt::CaseInsensitive);
        ui->tableView->setRowHidden(row, !shown || !passesFilter(row));
    }
    updateSummary();
}

// A state that names no column counts in the progress, but is no field in error.
bool ExtTableEditor::hasError(const ExtRecord &record)
{
    for (int field = 0; field < record.count(); ++field)
        if (record.state(field) == -1)
            return true;
    return false;
}

bool ExtTableEditor::passesFilter(int row) const
{
    const ExtRecord *record = model->records.at(row);
    switch (reviewFilter->currentData().toInt()) {
    case RowsWithError:
        return hasError(*record);
    case RowsNotReviewed:
        return record->progress() < 100;
    case RowsMarked:
        return record->marked;
    case RowsChanged:
        return changedRows.contains(record->value("id").toString());
    case RowsWithQuestions:
        for (int field = 0; field < record->count(); ++field)
            if (model->openQuestions(row, field) > 0)
                return true;
        return false;
    default:
        return true;
    }
}

namespace {
// Empty values first; numbers (also those the driver hands over as text) and dates by value,
// other text as the locale orders it.
bool lessThan(const QVariant &a, const QVariant &b)
{
    const bool aEmpty = a.isNull() || !a.isValid();
    const bool bEmpty = b.isNull() || !b.isValid();
    if (aEmpty || bEmpty)
        return aEmpty && !bEmpty;
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString) {
        bool aNumber = false;
        bool bNumber = false;
        const double x = a.toString().toDouble(&aNumber);
        const double y = b.toString().toDouble(&bNumber);
        if (aNumber && bNumber)
            return x < y;
        return QString::localeAwareCompare(a.toString(), b.toString()) < 0;
    }
    return QVariant::compare(a, b) == QPartialOrdering::Less;
}
} // namespace

void ExtTableEditor::sortRows(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= model->columnCount())
        return;
    const int rows = model->rowCount();
    QList<QVariant> keys;
    keys.reserve(rows);
    for (int row = 0; row < rows; ++row)
        keys << (column == 0 ? QVariant(int(model->isMarked(row)))
                             : model->index(row, column).data());
    QList<int> sorted(rows);
    std::iota(sorted.begin(), sorted.end(), 0);
    std::stable_sort(sorted.begin(), sorted.end(), [&](int x, int y) {
        return order == Qt::AscendingOrder ? lessThan(keys.at(x), keys.at(y))
                                           : lessThan(keys.at(y), keys.at(x));
    });
    QHeaderView *header = ui->tableView->verticalHeader();
    for (int visual = 0; visual < rows; ++visual) {
        const int from = header->visualIndex(sorted.at(visual));
        if (from != visual)
            header->moveSection(from, visual);
    }
}

void ExtTableEditor::fieldChecked(QListWidgetItem *item)
{
    const int column = item->data(Qt::UserRole).toInt();
    ui->tableView->setColumnHidden(column, item->checkState() == Qt::Unchecked);
}

void ExtTableEditor::showModelMessage(const QString &message)
{
    statusBar()->showMessage(message);
}
