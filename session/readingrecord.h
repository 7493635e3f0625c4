#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class DmmData;

// Every field of a reading as a plain value, so that a copy can travel to the thread that writes
// it while the reading itself stays with its item.
struct ReadingRecord
{
    QDateTime dateTime;
    QList<double> values;
    QStringList texts;
    int state = 0;
    bool fromStore = false;
    int storeIndex = 0;
    int unitCode = 0;
    QString unitText;
    QString band;
    int status = 0; // bit n is the reading's status flag n
    QString detection;
    int battery = 0;

    static ReadingRecord of(const DmmData& reading);
    std::unique_ptr<DmmData> toReading() const;

    static int statusBits(const DmmData& reading);
    static void setStatusBits(DmmData& reading, int bits);
};
