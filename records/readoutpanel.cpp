#include "readoutpanel.h"

#include "coalescingtimer.h"
#include "dmmdata.h"

#include <QCoreApplication>
#include <QLayout>
#include <QPixmap>

namespace {
// The panel's texts have always belonged to the main window's form, so they keep its
// translation context; the form is compiled with this function as its translator.
QString widgetTr(const char* text, const char* disambiguation)
{
    return QCoreApplication::translate("Widget", text, disambiguation);
}
}

#include "ui_readoutpanel.h"

ReadoutPanel::ReadoutPanel(QWidget* parent)
    : QFrame(parent)
    , ui(new Ui::ReadoutPanel)
    , coalescedLayout(new CoalescingTimer([this] { layOut(); }, this))
{
    ui->setupUi(this);
}

ReadoutPanel::~ReadoutPanel()
{
    delete ui;
}

void ReadoutPanel::prepareForReadings()
{
    ui->lcdUnit->setText(QString());
    ui->lcdMax->setVisible(false);
    ui->lcdHold->setVisible(false);
}

QString ReadoutPanel::batteryIconPath(int level)
{
    return QStringLiteral(":/image/bat%1a.png").arg(level);
}

void ReadoutPanel::showReading(const DmmData* data)
{
    if (!data)
        return;
    // Readings come up to a hundred times a second and mostly repeat the last one's unit, band,
    // battery and flags: only what changed is set. A new text asks the panel's layout to run
    // again, which at the reading rate would cost more than the reading itself: the layout rests
    // while the texts change and runs at most ten times a second.
    if (QLayout* grid = layout())
        grid->setEnabled(false);
    // The value changes with nearly every reading; within the interval its label holds the new
    // text at once but is painted with the layout.
    if (coalescedLayout->wouldWait() && ui->lcdValue->updatesEnabled())
        ui->lcdValue->setUpdatesEnabled(false);
    setIfChanged(ui->lcdValue, data->text(0));
    setIfChanged(ui->lcdUnit, data->unit().text);
    const int level = data->battery();
    if (level != shownBattery) {
        shownBattery = level;
        // A level without an icon loads a null pixmap, which leaves the label without a picture.
        ui->lcdBat->setPixmap(QPixmap(batteryIconPath(level)));
    }
    setIfChanged(ui->lcdFreq, data->band());
    const bool flag = data->status0();
    setIfChanged(ui->lcdMax, flag ? QStringLiteral("MAX") : QStringLiteral("   "));
    setIfChanged(ui->lcdHold, flag ? QStringLiteral("HOLD") : QStringLiteral("    "));
    setIfChanged(ui->lcdFunction, data->detection());
    coalescedLayout->request();
}

void ReadoutPanel::paintValue()
{
    if (!ui->lcdValue->updatesEnabled())
        ui->lcdValue->setUpdatesEnabled(true);
}

void ReadoutPanel::paintEvent(QPaintEvent* event)
{
    // Anything that paints the panel (a grab, an expose) shows the value it holds now.
    paintValue();
    QFrame::paintEvent(event);
}

void ReadoutPanel::layOut()
{
    paintValue();
    if (QLayout* grid = layout()) {
        grid->setEnabled(true);
        grid->activate();
    }
}

void ReadoutPanel::setIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}
