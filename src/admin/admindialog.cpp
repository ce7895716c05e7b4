#include "admindialog.h"

#include "admin/authsadminformwidget.h"
#include "admin/groupsadminformwidget.h"
#include "admin/usersadminformwidget.h"
#include "db/sqlhelper.h"

AdminDialog::AdminDialog(QWidget *parent)
    : GroupFormWidget(parent)
{
    // The pages read their tables' columns as they are built, before their first load.
    SqlHelper::reopenIfLost();
    addFormWidget(new UsersAdminFormWidget);
    addFormWidget(new GroupsAdminFormWidget);
    addFormWidget(new AuthsAdminFormWidget);
    // The users grid needs the room to show an e-mail address whole.
    resize(800, 400);
}
