#include "readoutpanel.h"

#include "dmmdata.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

namespace {
QLabel* makeLabel(QWidget* parent, const char* objectName, bool smallLeftAligned)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(objectName));
    if (smallLeftAligned) {
        label->setMinimumSize(QSize(10, 0));
        label->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    }
    return label;
}
}

ReadoutPanel::ReadoutPanel(QWidget* parent)
    : QFrame(parent)
{
    setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255,255)"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Plain);

    gridLayout_6 = new QGridLayout(this);
    gridLayout_6->setObjectName(QStringLiteral("gridLayout_6"));
    gridLayout_6->setSpacing(6);
    gridLayout_6->setVerticalSpacing(12);
    gridLayout_6->setContentsMargins(10, 10, 10, 10);

    lcdBat = makeLabel(this, "lcdBat", true);
    lcdBat->setPixmap(QPixmap(QStringLiteral(":/image/bat3a.png")));
    gridLayout_6->addWidget(lcdBat, 1, 0);

    lcdFunction = makeLabel(this, "lcdFunction", true);
    gridLayout_6->addWidget(lcdFunction, 1, 1);

    lcdBasis = makeLabel(this, "lcdBasis", true);
    gridLayout_6->addWidget(lcdBasis, 1, 2);

    lcdValue = makeLabel(this, "lcdValue", false);
    QSizePolicy valuePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    valuePolicy.setHorizontalStretch(0);
    valuePolicy.setVerticalStretch(0);
    lcdValue->setSizePolicy(valuePolicy);
    QFont valueFont;
    valueFont.setPointSize(16);
    valueFont.setBold(true);
    valueFont.setWeight(75);
    lcdValue->setFont(valueFont);
    lcdValue->setAlignment(Qt::AlignCenter);
    gridLayout_6->addWidget(lcdValue, 2, 1);

    lcdUnit = makeLabel(this, "lcdUnit", false);
    lcdUnit->setMinimumSize(QSize(10, 0));
    gridLayout_6->addWidget(lcdUnit, 2, 2);

    widget_3 = new QWidget(this);
    widget_3->setObjectName(QStringLiteral("widget_3"));
    gridLayout_6->addWidget(widget_3, 3, 1);

    lcdMax = makeLabel(this, "lcdMax", false);
    gridLayout_6->addWidget(lcdMax, 5, 0);

    lcd1 = makeLabel(this, "lcd1", false);
    gridLayout_6->addWidget(lcd1, 5, 1);

    lcdHold = makeLabel(this, "lcdHold", false);
    gridLayout_6->addWidget(lcdHold, 6, 0);

    lcdFreq = makeLabel(this, "lcdFreq", false);
    gridLayout_6->addWidget(lcdFreq, 6, 1);

    retranslate();
}

void ReadoutPanel::retranslate()
{
    const char* context = "Widget";
    lcdFunction->setText(QString());
    lcdBasis->setText(QString());
    lcdValue->setText(QCoreApplication::translate(context, "00000"));
    lcdUnit->setText(QCoreApplication::translate(context, "um"));
    lcdMax->setText(QCoreApplication::translate(context, "MAX"));
    lcd1->setText(QString());
    lcdHold->setText(QCoreApplication::translate(context, "HOLD"));
    lcdFreq->setText(QString());
}

void ReadoutPanel::prepareForReadings()
{
    lcdUnit->setText(QString());
    lcdMax->setVisible(false);
    lcdHold->setVisible(false);
}

QString ReadoutPanel::batteryIconPath(int level)
{
    return QStringLiteral(":/image/bat%1a.png").arg(level);
}

void ReadoutPanel::showReading(const DmmData* data)
{
    if (!data)
        return;
    lcdValue->setText(data->text(0));
    lcdUnit->setText(data->unit().text);
    // A level without an icon loads a null pixmap, which leaves the label without a picture.
    lcdBat->setPixmap(QPixmap(batteryIconPath(data->battery())));
    lcdFreq->setText(data->band());
    const bool flag = data->status0();
    lcdMax->setText(flag ? QStringLiteral("MAX") : QStringLiteral("   "));
    lcdHold->setText(flag ? QStringLiteral("HOLD") : QStringLiteral("    "));
    lcdFunction->setText(data->detection());
}
