#pragma once

#include "navigation/listviewer.h"

// The reports page; it has no entries yet.
class ReportListViewer : public ListViewer
{
    Q_OBJECT
public:
    explicit ReportListViewer(QWidget *parent = nullptr);
};
