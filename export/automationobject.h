#pragma once

#include <QObject>
#include <QVariant>

#include <functional>
#include <memory>

// The operations the spreadsheet export needs from an automation server's object model: a COM
// client on Windows, the in-process workbook component everywhere else. Sub-objects returned by
// querySubObject() are children of the object that returned them and go with it.
class AutomationObject : public QObject
{
    Q_OBJECT

public:
    explicit AutomationObject(QObject* parent = nullptr)
        : QObject(parent)
    { }
    ~AutomationObject() override = default;

    // Binds this object to the server registered under progId; false when there is none.
    virtual bool setControl(const QString& progId) = 0;

    virtual QVariant dynamicCall(const char* function, const QVariant& var1 = QVariant(),
        const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
        const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
        const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
        const QVariant& var8 = QVariant())
        = 0;

    // Null when the server has no such object.
    virtual AutomationObject* querySubObject(const char* name, const QVariant& var1 = QVariant(),
        const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
        const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
        const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
        const QVariant& var8 = QVariant())
        = 0;

    // Hides QObject::setProperty on purpose: the property belongs to the server's object.
    virtual bool setProperty(const char* name, const QVariant& value) = 0;
};

// Makes an unbound application object: the COM client when a spreadsheet server is registered
// (Windows), otherwise the in-process workbook component.
using AutomationFactory = std::function<std::unique_ptr<AutomationObject>()>;
std::unique_ptr<AutomationObject> createAutomationApplication();
