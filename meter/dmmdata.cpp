#include "dmmdata.h"

DmmData::DmmData(QObject* parent)
    : QObject(parent)
{ }

double DmmData::value(int i) const
{
    return i >= 0 && i < m_values.size() ? m_values.at(i) : 0.0;
}

QString DmmData::text(int i) const
{
    return i >= 0 && i < m_texts.size() ? m_texts.at(i) : QStringLiteral("0.0");
}

std::unique_ptr<DmmData> DmmData::adopt(const DmmData* reading)
{
    return std::unique_ptr<DmmData>(const_cast<DmmData*>(reading));
}
