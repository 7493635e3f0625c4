#pragma once

#include "dmmdata.h"
#include "itemproperties.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

// One measurement item: a named list of readings of one unit. The item owns its readings; it is
// their QObject parent, so a table showing them can tell whose they are.
class ItemData : public QObject
{
    Q_OBJECT

public:
    // 2 is not used: the tree's group node and the two kinds of items that hold readings.
    enum DataType { LiveGroup = 0, LiveMeasure = 1, StoreData = 3 };
    Q_ENUM(DataType)

    ItemData(const QString& name, DataType type, QObject* parent = nullptr);
    ~ItemData() override;

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    DataType type() const { return m_type; }
    QString unitText() const { return m_unitText; }
    void setUnitText(const QString& unitText) { m_unitText = unitText; }
    ItemProperties properties() const { return m_properties; }
    void setProperties(const ItemProperties& properties);

    // A copy of the pointer list; the readings stay owned by the item. The copy is const, so that
    // reading from it (readings().first()) shares the item's list instead of copying millions of
    // pointers.
    const QList<DmmData*> readings() const { return m_readings; }
    int readingCount() const { return m_readings.size(); }
    // Reading index, 0 <= index < readingCount(), without a copy of the list.
    DmmData* readingAt(int index) const { return m_readings.at(index); }
    const DmmData* lastReading() const
    {
        return m_readings.isEmpty() ? nullptr : m_readings.last();
    }

    // The item takes ownership.
    void appendReading(DmmData* reading);
    // Deletes every reading; readingsAboutToBeCleared() comes first, so a table showing them
    // lets go of them before they are gone.
    void clearReadings();

signals:
    // After appendReading took the reading in, as the item's last.
    void readingAppended(const DmmData* reading);
    void readingsAboutToBeCleared();
    void propertiesChanged();

private:
    QString m_name;
    QList<DmmData*> m_readings;
    QString m_unitText;
    DataType m_type;
    ItemProperties m_properties;
};

Q_DECLARE_METATYPE(ItemData*)
