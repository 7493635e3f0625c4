#pragma once

#include "automationobject.h"

#include <QByteArray>

// Common ground of the in-process spreadsheet component's objects: unknown members do nothing,
// like a failed call.
class ModelObject : public AutomationObject
{
public:
    using AutomationObject::AutomationObject;

    bool setControl(const QString& progId) override;
    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override;
    bool setProperty(const char* name, const QVariant& value) override;

    // "SaveAs(const QString &,int,...)" and "saveas" name the same member.
    static QByteArray memberName(const char* function);
};
