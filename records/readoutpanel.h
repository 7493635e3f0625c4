#pragma once

#include <QFrame>

class DmmData;
class QGridLayout;
class QLabel;

// The readout panel that mirrors the meter's display. The main window's form places it as the
// promoted frame "lcd"; the labels keep their object names so they can be found by name too.
class ReadoutPanel : public QFrame
{
    Q_OBJECT

public:
    explicit ReadoutPanel(QWidget* parent = nullptr);

    // The window's start-up step: no unit before the first reading, and the MAX/HOLD words hidden.
    void prepareForReadings();
    // Shows one live reading; the panel keeps no pointer to it.
    void showReading(const DmmData* data);

    static QString batteryIconPath(int level);

    QGridLayout* gridLayout_6;
    QLabel* lcdBat;
    QLabel* lcdFunction;
    QLabel* lcdBasis;
    QLabel* lcdValue;
    QLabel* lcdUnit;
    QWidget* widget_3;
    QLabel* lcdMax;
    QLabel* lcd1;
    QLabel* lcdHold;
    QLabel* lcdFreq;

private:
    void retranslate();
};
