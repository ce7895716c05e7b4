#include "extquestionswidget.h"
#include "ui_extquestionswidget.h"

#include <QHeaderView>
#include <QMessageBox>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "model/extmodel.h"

ExtQuestionsWidget::ExtQuestionsWidget(ExtModel *model, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExtQuestionsWidget)
    , model(model)
{
    ui->setupUi(this);
    QHeaderView *header = ui->questionTree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    connect(ui->answerButton, &QPushButton::clicked, this, &ExtQuestionsWidget::answer);
    connect(ui->closeButton, &QPushButton::clicked, this, &ExtQuestionsWidget::toggleClosed);
    connect(ui->questionTree, &QTreeWidget::currentItemChanged, this,
            &ExtQuestionsWidget::updateButtons);
    connect(ui->answerEdit, &QPlainTextEdit::textChanged, this, &ExtQuestionsWidget::updateButtons);
    connect(model, &ExtModel::reviewRead, this, &ExtQuestionsWidget::refresh);
    refresh();
}

ExtQuestionsWidget::~ExtQuestionsWidget()
{
    delete ui;
}

ExtFieldQueries ExtQuestionsWidget::store() const
{
    return ExtFieldQueries(model->tableName,
                           Stavimor::instance()->userManager->currentUser.value("id"));
}

void ExtQuestionsWidget::setRow(int shown)
{
    row = shown;
    refresh();
}

void ExtQuestionsWidget::refresh()
{
    const bool valid = row >= 0 && row < model->rowCount() && model->keepsReview() &&
                       !model->records.at(row)->isNull("id");
    const qlonglong selected = selectedQuestion() ? selectedQuestion()->id : 0;
    questions = valid ? store().ofRow(model->records.at(row)->value("id")) : QList<ExtFieldQuery>();
    administrator = valid && Stavimor::instance()->userManager->isAdministrator();
    ui->questionTree->clear();
    if (!model->keepsReview())
        ui->rowLabel->setText(tr("no questions are kept: the database has no table "
                                 "ext_records_queries"));
    else if (!valid)
        ui->rowLabel->setText(tr("Click a saved row to see its questions."));
    else
        ui->rowLabel->setText(
            questions.isEmpty()
                ? tr("No questions on row %1.").arg(model->records.at(row)->value("id").toString())
                : tr("Questions on row %1:").arg(model->records.at(row)->value("id").toString()));
    const auto when = [](const QDateTime &utc) {
        return utc.toLocalTime().toString("yyyy-MM-dd HH:mm");
    };
    const ExtRecord &columns = model->columnRecord;
    for (int n = 0; n < questions.size(); ++n) {
        const ExtFieldQuery &question = questions.at(n);
        const int field = columns.indexOf(question.fieldName);
        const QString label = field < 0 ? question.fieldName : columns.label(field);
        auto *item =
            new QTreeWidgetItem(ui->questionTree, {tr("%1 (%2)").arg(label, question.status),
                                                   question.openedByName, when(question.opened)});
        item->setData(0, Qt::UserRole, n);
        QFont font = item->font(0);
        font.setBold(question.status != "closed");
        item->setFont(0, font);
        for (const ExtQueryMessage &message : question.messages) {
            auto *line =
                new QTreeWidgetItem(item, {message.text, message.userName, when(message.when)});
            line->setData(0, Qt::UserRole, n);
            line->setToolTip(0, message.text);
        }
        item->setExpanded(true);
        if (question.id == selected)
            ui->questionTree->setCurrentItem(item);
    }
    updateButtons();
}

const ExtFieldQuery *ExtQuestionsWidget::selectedQuestion() const
{
    const QTreeWidgetItem *item = ui->questionTree->currentItem();
    if (!item)
        return nullptr;
    const int n = item->data(0, Qt::UserRole).toInt();
    return n >= 0 && n < questions.size() ? &questions.at(n) : nullptr;
}

void ExtQuestionsWidget::updateButtons()
{
    const ExtFieldQuery *question = selectedQuestion();
    const QVariant user = Stavimor::instance()->userManager->currentUser.value("id");
    const bool open = question && question->status != "closed";
    ui->answerEdit->setEnabled(open);
    ui->answerButton->setEnabled(open && !ui->answerEdit->toPlainText().trimmed().isEmpty());
    ui->closeButton->setText(question && !open ? tr("reopen") : tr("close"));
    ui->closeButton->setEnabled(
        question && (administrator || question->openedBy.toString() == user.toString()));
}

void ExtQuestionsWidget::answer()
{
    const ExtFieldQuery *question = selectedQuestion();
    if (!question)
        return;
    ExtFieldQueries questionStore = store();
    QString why;
    if (!questionStore.answer(*question, ui->answerEdit->toPlainText(), &why)) {
        QMessageBox::warning(this, tr("not answered"), why);
        return;
    }
    ui->answerEdit->clear();
    model->readReview();
}

void ExtQuestionsWidget::toggleClosed()
{
    const ExtFieldQuery *question = selectedQuestion();
    if (!question)
        return;
    ExtFieldQueries questionStore = store();
    QString why;
    if (!questionStore.setClosed(*question, question->status != "closed", administrator, &why))
        QMessageBox::warning(this, tr("not changed"), why);
    model->readReview();
}
