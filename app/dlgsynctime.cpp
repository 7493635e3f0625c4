#include "dlgsynctime.h"

#include "ui_dlgsynctime.h"

dlgSyncTime::dlgSyncTime(const QDateTime& initial, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::dlgSyncTime)
{
    ui->setupUi(this);
    ui->dateTimeEdit->setDateTimeRange(earliest(), latest());
    ui->dateTimeEdit->setDateTime(initial);
}

dlgSyncTime::~dlgSyncTime()
{
    delete ui;
}

QDateTime dlgSyncTime::earliest()
{
    return QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0));
}

QDateTime dlgSyncTime::latest()
{
    return QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59));
}

void dlgSyncTime::on_btnSync_clicked()
{
    emit syncTime(ui->dateTimeEdit->dateTime());
}
