#pragma once

#include <QDateTime>
#include <QDialog>

namespace Ui {
class dlgSyncTime;
}

// Picks the date and time that the meter's clock is set to; each press of the button sends it.
class dlgSyncTime : public QDialog
{
    Q_OBJECT

public:
    explicit dlgSyncTime(const QDateTime& initial, QWidget* parent = nullptr);
    ~dlgSyncTime() override;

    // The clock-set command carries two-digit years of this century only.
    static QDateTime earliest();
    static QDateTime latest();

signals:
    void syncTime(QDateTime dt);

private slots:
    void on_btnSync_clicked();

private:
    Ui::dlgSyncTime* ui;
};
