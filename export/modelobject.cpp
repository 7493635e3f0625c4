#include "modelobject.h"

bool ModelObject::setControl(const QString&)
{
    return false;
}

QVariant ModelObject::dynamicCall(const char*, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&)
{
    return QVariant();
}

AutomationObject* ModelObject::querySubObject(const char*, const QVariant&, const QVariant&,
    const QVariant&, const QVariant&, const QVariant&, const QVariant&, const QVariant&,
    const QVariant&)
{
    return nullptr;
}

bool ModelObject::setProperty(const char*, const QVariant&)
{
    return false;
}

QByteArray ModelObject::memberName(const char* function)
{
    QByteArray name(function);
    const int paren = name.indexOf('(');
    if (paren >= 0)
        name.truncate(paren);
    return name.trimmed().toLower();
}
