#include "serialdev.h"

SerialDev::SerialDev(QObject* parent)
    : QObject(parent)
{ }

void SerialDev::setOpened(bool opened)
{
    openedFlag = opened;
}
