#pragma once

#include "navigation/listviewer.h"

// The table schemas of the application directory; each opens in a table editor.
class ExtListViewer : public ListViewer
{
    Q_OBJECT
public:
    explicit ExtListViewer(QWidget *parent = nullptr);

    // Where the schema files are listed, opened, added and removed.
    static QString schemaDirectory();

public slots:
    void load() override;

protected slots:
    void startEditor();
    void edit();
    void add();
    void rem();

private:
    QAction *currentAction() const;
};
