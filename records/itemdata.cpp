#include "itemdata.h"

#include "datamodel.h"
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

void ItemData::appendReading(const DmmData* reading)
{
    if (reading)
        m_readings.append(const_cast<DmmData*>(reading));
}

void ItemData::clearReadings()
{
    if (m_readings.isEmpty())
        return;
    DataModel::forgetReadings(m_readings);
    const QList<DmmData*> doomed = m_readings;
    m_readings.clear();
    qDeleteAll(doomed);
}
