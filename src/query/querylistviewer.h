#pragma once

#include "navigation/listviewer.h"

class QueryEditor;

// The saved statements of the logged-in user's groups; each opens in a query editor.
class QueryListViewer : public ListViewer
{
    Q_OBJECT
public:
    explicit QueryListViewer(QWidget *parent = nullptr);

public slots:
    void load() override;
    void startEditor();
    void newQuery();
    void removeQuery();
    void editQuery();

private:
    QAction *currentAction() const;
    // A query editor of this page, run on query when that is not empty; what it saves is
    // listed at once.
    QueryEditor *openEditor(const QString &query);
};
