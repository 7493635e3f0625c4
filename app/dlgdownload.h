#pragma once

#include <QDialog>

namespace Ui {
class DlgDownload;
}

// Progress of a download of the meter's memory. It closes itself when the last record has been
// counted or when no progress has arrived for three seconds.
class DlgDownload : public QDialog
{
    Q_OBJECT

public:
    explicit DlgDownload(QWidget* parent = nullptr);
    ~DlgDownload() override;

    // A negative total means the meter has not said how many records follow: the bar shows that
    // readings arrive and how many, and only the watchdog or a later complete step closes it.
    static constexpr int UnknownTotal = -1;

public slots:
    void updatePos(int total, int pos);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    Ui::DlgDownload* ui;
    int watchdogId = 0;
};
