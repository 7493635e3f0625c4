#include "dlgdownload.h"

#include "ui_dlgdownload.h"

#include <QTimer>
#include <QTimerEvent>

namespace {
const int WatchdogMs = 3000;
}

DlgDownload::DlgDownload(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlgDownload)
{
    ui->setupUi(this);
}

DlgDownload::~DlgDownload()
{
    delete ui;
}

void DlgDownload::updatePos(int total, int pos)
{
    if (total < 0) {
        // Minimum and maximum 0 turn the bar into a busy indicator.
        ui->progressBar->setRange(0, 0);
        ui->label->setText(tr(" Downloading data...   %1 received").arg(pos));
    } else {
        ui->progressBar->setMinimum(0);
        ui->progressBar->setMaximum(total);
        ui->progressBar->setValue(pos);
    }

    if (watchdogId != 0)
        killTimer(watchdogId);
    watchdogId = startTimer(WatchdogMs, Qt::CoarseTimer);

    // No events are processed from here: this runs inside the link's reading signal, and a
    // nested event loop would let the link's port be closed and deleted under that signal. The
    // bar is painted when control is back in the event loop, between chunks of readings.
    if (total >= 0 && pos >= total)
        QTimer::singleShot(0, this, &QDialog::accept);
}

void DlgDownload::timerEvent(QTimerEvent* event)
{
    Q_UNUSED(event)
    QTimer::singleShot(0, this, &QDialog::accept);
}
