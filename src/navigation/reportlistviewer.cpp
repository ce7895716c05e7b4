#include "reportlistviewer.h"

#include <QIcon>

ReportListViewer::ReportListViewer(QWidget *parent)
    : ListViewer(parent)
{
    setWindowTitle(tr("report"));
    setWindowIcon(QIcon(":16x16/report.png"));
}
