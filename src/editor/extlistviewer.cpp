#include "extlistviewer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSqlDatabase>
#include <QUrl>

#include "core/savedfile.h"
#include "editor/exttableeditor.h"

ExtListViewer::ExtListViewer(QWidget *parent)
    : ListViewer(parent)
{
    setWindowTitle(tr("tables"));
    setWindowIcon(QIcon(":16x16/database_table.png"));
    auto *addAction = new QAction(QIcon(":16x16/table_add.png"), tr("add table"), this);
    auto *remAction = new QAction(QIcon(":16x16/table_delete.png"), tr("rem table"), this);
    auto *editAction = new QAction(QIcon(":16x16/table_edit.png"), tr("edit table"), this);
    addToolAction(addAction);
    addToolAction(remAction);
    addToolAction(editAction);
    connect(addAction, &QAction::triggered, this, &ExtListViewer::add);
    connect(remAction, &QAction::triggered, this, &ExtListViewer::rem);
    connect(editAction, &QAction::triggered, this, &ExtListViewer::edit);
}

QString ExtListViewer::schemaDirectory()
{
    return QCoreApplication::applicationDirPath();
}

void ExtListViewer::load()
{
    clearItems();
    const QDir directory(schemaDirectory());
    for (const QFileInfo &file : directory.entryInfoList({"*.xml"}, QDir::NoFilter, QDir::NoSort)) {
        auto *action = new QAction(QIcon(":16x16/table.png"), file.baseName(), this);
        action->setToolTip(file.absoluteFilePath());
        action->setData(file.fileName());
        addItemAction(action);
        connect(action, &QAction::triggered, this, &ExtListViewer::startEditor);
    }
}

QAction *ExtListViewer::currentAction() const
{
    return itemActions().value(currentRow());
}

void ExtListViewer::startEditor()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    auto *editor =
        new ExtTableEditor(QDir(schemaDirectory()).filePath(action->data().toString()), this);
    // A closed editor has nothing more to show: its rows go with it.
    editor->setAttribute(Qt::WA_DeleteOnClose);
    editor->show();
}

void ExtListViewer::edit()
{
    if (QAction *action = currentAction())
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QDir(schemaDirectory()).filePath(action->data().toString())));
}

void ExtListViewer::add()
{
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Open xml data struct"), "/",
                                                        tr("XML Files (*.xml)"));
    if (chosen.isEmpty())
        return;
    const QFileInfo file(chosen);
    const QString table = file.baseName();
    const bool known = QSqlDatabase::database().tables(QSql::Tables).contains(table);
    if (!known || !SavedFile::copy(file.absoluteFilePath(),
                                   QDir(schemaDirectory()).filePath(file.fileName()))) {
        QMessageBox::warning(this, tr("cannot add table shema"), tr("%1 doesn't exist").arg(table),
                             QMessageBox::Ok);
        return;
    }
    load();
}

void ExtListViewer::rem()
{
    QAction *action = currentAction();
    if (!action)
        return;
    QMessageBox box(this);
    box.setText(tr("Are you sure you want delete xml table shema ?"));
    box.setInformativeText(tr("the file will be definitly deleted"));
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    if (box.exec() != QMessageBox::Yes)
        return;
    QFile::remove(QDir(schemaDirectory()).filePath(action->data().toString()));
    load();
}
