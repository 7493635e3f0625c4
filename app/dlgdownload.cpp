#include "dlgdownload.h"

#include "ui_dlgdownload.h"

#include <QCoreApplication>
#include <QTimer>
#include <QTimerEvent>

namespace {
const int WatchdogMs = 3000;
const int PumpIntervalMs = 50;
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

    if (total >= 0 && pos >= total)
        QTimer::singleShot(0, this, &QDialog::accept);

    // Keeps the bar painted while readings arrive, a few times a second: repainting the window
    // for every one of thousands of records would slow the download to a crawl. The link's
    // handlers run from here and lead back into this slot; those nested steps do not pump
    // again, so the stack stays flat however many readings a download brings.
    const bool complete = total >= 0 && pos >= total;
    if (pumping || (!complete && sincePump.isValid() && sincePump.elapsed() < PumpIntervalMs))
        return;
    pumping = true;
    sincePump.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    pumping = false;
}

void DlgDownload::timerEvent(QTimerEvent* event)
{
    Q_UNUSED(event)
    QTimer::singleShot(0, this, &QDialog::accept);
}
