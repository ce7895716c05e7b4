#pragma once

#include <QLoggingCategory>

// The program's debug lines: statements with the rows' values (stavimor.sql) and its trace
// (stavimor.app). Both are off unless turned on, for example with
// QT_LOGGING_RULES="stavimor.*.debug=true"; warnings always reach the terminal.
Q_DECLARE_LOGGING_CATEGORY(lcSql)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
