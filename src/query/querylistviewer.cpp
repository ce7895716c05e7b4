#include "querylistviewer.h"

#include <QAction>
#include <QMessageBox>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/savedqueries.h"
#include "query/queryeditor.h"

QueryListViewer::QueryListViewer(QWidget *parent)
    : ListViewer(parent)
{
    setWindowTitle(tr("query"));
    setWindowIcon(QIcon(":16x16/script_gear.png"));
    auto *add = new QAction(QIcon(":16x16/script_add.png"), tr("add table"), this);
    auto *rem = new QAction(QIcon(":16x16/script_delete.png"), tr("rem table"), this);
    auto *edit = new QAction(QIcon(":16x16/script_edit.png"), tr("edit table"), this);
    addToolAction(add);
    addToolAction(rem);
    addToolAction(edit);
    connect(add, &QAction::triggered, this, &QueryListViewer::newQuery);
    connect(rem, &QAction::triggered, this, &QueryListViewer::removeQuery);
    connect(edit, &QAction::triggered, this, &QueryListViewer::editQuery);
}

void QueryListViewer::load()
{
    clearItems();
    const QVariant userId = Stavimor::instance()->userManager->currentUser.value("id");
    for (const QSqlRecord &row : SavedQueries::visibleTo(userId)) {
        auto *action = new QAction(QIcon(":16x16/script.png"), row.value("name").toString(), this);
        action->setData(row.value("query"));
        addItemAction(action);
        connect(action, &QAction::triggered, this, &QueryListViewer::startEditor);
    }
    emit itemsChanged();
}

QueryEditor *QueryListViewer::openEditor(const QString &query)
{
    auto *editor = new QueryEditor(query, this);
    connect(editor, &QueryEditor::saved, this, &QueryListViewer::load);
    editor->show();
    return editor;
}

void QueryListViewer::startEditor()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    openEditor(action->data().toString());
}

QAction *QueryListViewer::currentAction() const
{
    return itemActions().value(currentRow());
}

void QueryListViewer::newQuery()
{
    openEditor(QString());
}

void QueryListViewer::removeQuery()
{
    QAction *action = currentAction();
    if (!action)
        return;
    const auto answer = QMessageBox::question(
        this, tr("remove query"), tr("Remove the saved query \"%1\"?").arg(action->text()),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    QSqlError error;
    if (!SavedQueries::remove(action->text(), &error))
        QMessageBox::warning(this, tr("remove query"),
                             tr("The saved query \"%1\" could not be removed: %2")
                                 .arg(action->text(), error.text()));
    load();
}

void QueryListViewer::editQuery()
{
    QAction *action = currentAction();
    if (!action)
        return;
    openEditor(QString())->edit(action->data().toString());
}
