#include "readoutpanel.h"

#include "dmmdata.h"

#include <QCoreApplication>
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
    ui->lcdValue->setText(data->text(0));
    ui->lcdUnit->setText(data->unit().text);
    // A level without an icon loads a null pixmap, which leaves the label without a picture.
    ui->lcdBat->setPixmap(QPixmap(batteryIconPath(data->battery())));
    ui->lcdFreq->setText(data->band());
    const bool flag = data->status0();
    ui->lcdMax->setText(flag ? QStringLiteral("MAX") : QStringLiteral("   "));
    ui->lcdHold->setText(flag ? QStringLiteral("HOLD") : QStringLiteral("    "));
    ui->lcdFunction->setText(data->detection());
}
