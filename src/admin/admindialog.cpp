#include "admindialog.h"

#include "admin/authsadminformwidget.h"
#include "admin/groupsadminformwidget.h"
#include "admin/usersadminformwidget.h"

AdminDialog::AdminDialog(QWidget *parent)
    : GroupFormWidget(parent)
{
    addFormWidget(new UsersAdminFormWidget);
    addFormWidget(new GroupsAdminFormWidget);
    addFormWidget(new AuthsAdminFormWidget);
    // The users grid needs the room to show an e-mail address whole.
    resize(800, 400);
}
