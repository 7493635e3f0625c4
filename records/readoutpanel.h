#pragma once

#include <QFrame>

class CoalescingTimer;
class DmmData;
class QLabel;

namespace Ui {
class ReadoutPanel;
}

// The readout panel that mirrors the meter's display. The main window's form places it as the
// promoted frame "lcd"; its labels keep their object names so they can be found by name.
class ReadoutPanel : public QFrame
{
    Q_OBJECT

public:
    explicit ReadoutPanel(QWidget* parent = nullptr);
    ~ReadoutPanel() override;

    // The window's start-up step: no unit before the first reading, and the MAX/HOLD words hidden.
    void prepareForReadings();
    // Shows one live reading; the panel keeps no pointer to it.
    void showReading(const DmmData* data);

    static QString batteryIconPath(int level);
    // The layout the labels' changes asked for, waiting for the end of its interval.
    CoalescingTimer* layoutTimer() const { return coalescedLayout; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static void setIfChanged(QLabel* label, const QString& text);
    void layOut();
    void paintValue();

    Ui::ReadoutPanel* ui;
    CoalescingTimer* coalescedLayout;
    // The battery level whose picture the panel shows; none before the first reading.
    int shownBattery = -1;
};
