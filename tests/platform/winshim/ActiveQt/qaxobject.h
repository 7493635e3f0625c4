#pragma once

// Declarations only, after the documented ActiveQt container API: Debian's cross toolchain has no
// ActiveQt, and the Windows syntax check needs just enough to parse code that uses QAxObject.
// Nothing links against this.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

struct IUnknown;

class QAxBase
{
public:
    virtual ~QAxBase();
    QString control() const;
    bool setControl(const QString& control);
    void clear();
    bool isNull() const;
    QVariant asVariant() const;
    QStringList verbs() const;
    QVariant dynamicCall(const char* function, const QVariant& var1 = QVariant(),
        const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
        const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
        const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
        const QVariant& var8 = QVariant());
    QVariant dynamicCall(const char* function, QList<QVariant>& vars);
    class QAxObject* querySubObject(const char* name, const QVariant& var1 = QVariant(),
        const QVariant& var2 = QVariant(), const QVariant& var3 = QVariant(),
        const QVariant& var4 = QVariant(), const QVariant& var5 = QVariant(),
        const QVariant& var6 = QVariant(), const QVariant& var7 = QVariant(),
        const QVariant& var8 = QVariant());
    class QAxObject* querySubObject(const char* name, QList<QVariant>& vars);
    QString generateDocumentation();
    void disableMetaObject();
    void disableClassInfo();
    void disableEventSink();
};

class QAxObject : public QObject, public QAxBase
{
public:
    explicit QAxObject(QObject* parent = nullptr);
    explicit QAxObject(const QString& c, QObject* parent = nullptr);
    explicit QAxObject(IUnknown* iface, QObject* parent = nullptr);
    ~QAxObject() override;
    bool doVerb(const QString& verb);

    // Signals of the real class, declared as plain members for parsing only.
    void exception(int code, const QString& source, const QString& desc, const QString& help);
    void propertyChanged(const QString& name);
    void signal(const QString& name, int argc, void* argv);
};
