#include "readingrecord.h"

#include "dmmdata.h"

ReadingRecord ReadingRecord::of(const DmmData& reading)
{
    ReadingRecord record;
    record.dateTime = reading.dateTime();
    record.values = reading.values();
    record.texts = reading.texts();
    record.state = reading.state();
    record.fromStore = reading.fromStore();
    record.storeIndex = reading.storeIndex();
    const DmmData::Unit unit = reading.unit();
    record.unitCode = unit.code;
    record.unitText = unit.text;
    record.band = reading.band();
    record.status = statusBits(reading);
    record.detection = reading.detection();
    record.battery = reading.battery();
    return record;
}

std::unique_ptr<DmmData> ReadingRecord::toReading() const
{
    auto reading = std::make_unique<DmmData>();
    reading->setDateTime(dateTime);
    for (double value : values)
        reading->addValue(value);
    for (const QString& text : texts)
        reading->addText(text);
    reading->setState(state);
    reading->setFromStore(fromStore);
    reading->setStoreIndex(storeIndex);
    reading->setUnit(unitCode, unitText);
    reading->setBand(band);
    setStatusBits(*reading, status);
    reading->setDetection(detection);
    reading->setBattery(battery);
    return reading;
}

int ReadingRecord::statusBits(const DmmData& reading)
{
    return (reading.status0() ? 1 : 0) | (reading.status1() ? 2 : 0) | (reading.status2() ? 4 : 0)
        | (reading.status3() ? 8 : 0);
}

void ReadingRecord::setStatusBits(DmmData& reading, int bits)
{
    reading.setStatus0(bits & 1);
    reading.setStatus1(bits & 2);
    reading.setStatus2(bits & 4);
    reading.setStatus3(bits & 8);
}
