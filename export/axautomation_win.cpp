#include "automationobject.h"

#include "workbookautomation.h"

#include <ActiveQt/QAxObject>
#include <QPointer>

namespace {

// Thin adapter of the COM client. Sub-object wrappers are owned by their QAxObject parents, so
// an adapter deletes its QAxObject only while it still exists.
class AxAutomation : public AutomationObject
{
public:
    AxAutomation(QAxObject* object, QObject* parent)
        : AutomationObject(parent)
        , object(object)
    { }
    ~AxAutomation() override { delete object.data(); }

    bool setControl(const QString& progId) override { return object->setControl(progId); }

    QVariant dynamicCall(const char* function, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override
    {
        return object
            ? object->dynamicCall(function, var1, var2, var3, var4, var5, var6, var7, var8)
            : QVariant();
    }

    AutomationObject* querySubObject(const char* name, const QVariant& var1, const QVariant& var2,
        const QVariant& var3, const QVariant& var4, const QVariant& var5, const QVariant& var6,
        const QVariant& var7, const QVariant& var8) override
    {
        QAxObject* sub = object
            ? object->querySubObject(name, var1, var2, var3, var4, var5, var6, var7, var8)
            : nullptr;
        return sub ? new AxAutomation(sub, this) : nullptr;
    }

    bool setProperty(const char* name, const QVariant& value) override
    {
        return object && object->setProperty(name, value);
    }

private:
    QPointer<QAxObject> object;
};

} // namespace

// The COM server when one is registered, otherwise the in-process component.
std::unique_ptr<AutomationObject> createAutomationApplication()
{
    auto probe = std::make_unique<AxAutomation>(new QAxObject, nullptr);
    if (probe->setControl(WorkbookAutomation::progId()))
        return probe;
    return std::make_unique<WorkbookAutomation>();
}
