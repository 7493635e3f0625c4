#pragma once

#include "columnheader.h"
#include "dmmdata.h"
#include "itemdata.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

// Items as the window holds them, filled with readings as the meter link makes them: numbers with
// the meter's blank-padded texts, over-range and no-reading displays, a quarter second apart.
namespace ExportItems {

inline QDateTime start()
{
    return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 0, 125));
}

// text: the meter's display (" 2.41", "    OL", "   -OL", "----").
inline DmmData* reading(int i, const QString& text, const QString& unit = QStringLiteral("cm/s"),
    const QString& detection = QStringLiteral("Vrms"), int storeIndex = 0)
{
    auto* d = new DmmData;
    d->setDateTime(start().addMSecs(250 * i));
    d->addText(text);
    if (text.contains(QLatin1String("OL"))) {
        d->addValue(0.0);
        d->setState(
            text.contains(QLatin1Char('-')) ? DmmData::NegativeOverRange : DmmData::OverRange);
    } else if (text.contains(QLatin1String("--"))) {
        d->addValue(0.0);
        d->setState(DmmData::NoReading);
    } else {
        d->addValue(text.trimmed().toDouble());
    }
    d->setUnit(2, unit);
    d->setDetection(detection);
    d->setBand(QStringLiteral("10-1kHz"));
    if (storeIndex > 0) {
        d->setFromStore(true);
        d->setStoreIndex(storeIndex);
    }
    return d;
}

inline std::unique_ptr<ItemData> item(const QString& name, const QStringList& texts,
    ItemData::DataType type = ItemData::LiveMeasure,
    SeverityZones::MachineClass machineClass = SeverityZones::NoClass)
{
    auto item = std::make_unique<ItemData>(name, type);
    item->setUnitText(QStringLiteral("cm/s"));
    ItemProperties properties;
    properties.machineClass = machineClass;
    item->setProperties(properties);
    for (int i = 0; i < texts.size(); ++i)
        item->appendReading(reading(i, texts.at(i), QStringLiteral("cm/s"), QStringLiteral("Vrms"),
            type == ItemData::StoreData ? 100 + i : 0));
    return item;
}

// n numeric readings with a repeating pattern of values.
inline QStringList values(int n)
{
    QStringList texts;
    for (int i = 0; i < n; ++i)
        texts << QString::number(0.05 + (i * 37 % 100) / 20.0, 'f', 2).rightJustified(5);
    return texts;
}

inline QList<ColumnHeader*> headers()
{
    return { new ColumnHeader { QStringLiteral("No."), 2 },
        new ColumnHeader { QStringLiteral("Date/Time"), 3 },
        new ColumnHeader { QStringLiteral("Function"), 3 },
        new ColumnHeader { QStringLiteral("Value"), 3 },
        new ColumnHeader { QStringLiteral("Unit"), 2 },
        new ColumnHeader { QStringLiteral("Frequency(Hz)"), 3 } };
}

} // namespace ExportItems
