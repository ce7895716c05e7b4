#include "samplemodule.h"

#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVBoxLayout>

SampleModule::SampleModule()
    : moduleAction(new QAction(QIcon(":/32x32/table.png"), tr("Table overview"), this))
{
    version = 1.25;
    author = tr("Stavimor examples");
}

SampleModule::~SampleModule()
{
    delete page;
}

void SampleModule::setCore(Stavimor *)
{
    // The overview needs only the connection.
}

QAction *SampleModule::action()
{
    return moduleAction;
}

QWidget *SampleModule::widget()
{
    if (!page) {
        page = new QWidget;
        page->setWindowTitle(tr("Table overview"));
        summary = new QLabel;
        tables = new QListWidget;
        auto *refreshButton = new QPushButton(tr("Refresh"));
        auto *layout = new QVBoxLayout(page);
        layout->addWidget(summary);
        layout->addWidget(tables);
        layout->addWidget(refreshButton, 0, Qt::AlignRight);
        connect(refreshButton, &QPushButton::clicked, this, &SampleModule::refresh);
    }
    refresh();
    return page;
}

void SampleModule::refresh()
{
    tables->clear();
    if (!database.isOpen()) {
        summary->setText(tr("Not connected to a database."));
        return;
    }
    QStringList names = database.tables();
    names.sort();
    summary->setText(
        tr("%n table(s) in database %1", nullptr, int(names.size())).arg(database.databaseName()));
    for (const QString &name : names) {
        QSqlQuery query(database);
        query.exec("SELECT COUNT(*) FROM " +
                   database.driver()->escapeIdentifier(name, QSqlDriver::TableName));
        if (!query.next())
            tables->addItem(name);
        else if (query.value(0).toLongLong() == 1)
            tables->addItem(tr("%1 (1 row)").arg(name));
        else
            tables->addItem(tr("%1 (%2 rows)").arg(name, query.value(0).toString()));
    }
}
