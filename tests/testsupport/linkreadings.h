#pragma once

#include "dmmdata.h"
#include "mydmm.h"

#include <QList>
#include <QObject>

// Collects the readings a meter link emits and owns them, as the link's receivers must.
class LinkReadings : public QObject
{
public:
    explicit LinkReadings(MyDmm* dmm)
    {
        connect(dmm, &MyDmm::display, this, [this](const DmmData* d) { live.append(d); });
        connect(dmm, &MyDmm::displayStore, this, [this](const DmmData* d) { stored.append(d); });
    }
    ~LinkReadings() override
    {
        qDeleteAll(live);
        qDeleteAll(stored);
    }
    QList<const DmmData*> live;
    QList<const DmmData*> stored;
};
