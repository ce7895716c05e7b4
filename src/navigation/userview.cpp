#include "userview.h"
#include "ui_userview.h"

UserView::UserView(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UserView)
{
    ui->setupUi(this);
}

UserView::~UserView()
{
    delete ui;
}
