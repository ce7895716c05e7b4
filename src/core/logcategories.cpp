#include "logcategories.h"

Q_LOGGING_CATEGORY(lcSql, "stavimor.sql", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "stavimor.app", QtInfoMsg)
