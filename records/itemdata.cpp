#include "itemdata.h"

#include "dmmdata.h"

namespace {
// The tree model carries items in QVariants under this name; registered before any item exists.
int registerMetaType()
{
    return qRegisterMetaType<ItemData*>("ItemData*");
}
Q_CONSTRUCTOR_FUNCTION(registerMetaType)
}

ItemData::ItemData(const QString& name, DataType type, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_type(type)
{
    static const int metaType = registerMetaType();
    Q_UNUSED(metaType)
}

ItemData::~ItemData()
{
    clearReadings();
}

void ItemData::appendReading(DmmData* reading)
{
    if (!reading)
        return;
    reading->setParent(this);
    m_readings.append(reading);
    emit readingAppended(reading);
}

void ItemData::clearReadings()
{
    if (m_readings.isEmpty())
        return;
    emit readingsAboutToBeCleared();
    const QList<DmmData*> doomed = m_readings;
    m_readings.clear();
    qDeleteAll(doomed);
}

void ItemData::setProperties(const ItemProperties& properties)
{
    if (properties == m_properties)
        return;
    m_properties = properties;
    emit propertiesChanged();
}
