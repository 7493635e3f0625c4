#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

// One decoded meter reading. Created by the meter link for one signal; the receiving slot owns it.
class DmmData : public QObject
{
    Q_OBJECT

public:
    // Unit as sent by the meter: the code is the raw low nibble, the text the last recognised unit.
    struct Unit
    {
        int code = 0;
        QString text;
    };

    explicit DmmData(QObject* parent = nullptr);

    // Readings travel through the link's signals read-only, and the receiving slot owns each one
    // from then on: this is the one place where a receiver takes a reading over.
    static std::unique_ptr<DmmData> adopt(const DmmData* reading);

    QDateTime dateTime() const { return m_dateTime; }
    double value(int i) const;
    QString text(int i) const;
    QList<double> values() const { return m_values; }
    QStringList texts() const { return m_texts; }
    int state() const { return m_state; }
    bool fromStore() const { return m_fromStore; }
    int storeIndex() const { return m_storeIndex; }
    Unit unit() const { return m_unit; }
    QString band() const { return m_band; }
    bool status0() const { return m_status0; }
    bool status1() const { return m_status1; }
    bool status2() const { return m_status2; }
    bool status3() const { return m_status3; }
    QString detection() const { return m_detection; }
    int battery() const { return m_battery; }

    void setDateTime(const QDateTime& dateTime) { m_dateTime = dateTime; }
    void addValue(double value) { m_values.append(value); }
    void addText(const QString& text) { m_texts.append(text); }
    void setState(int state) { m_state = state; }
    void setFromStore(bool fromStore) { m_fromStore = fromStore; }
    void setStoreIndex(int storeIndex) { m_storeIndex = storeIndex; }
    void setUnit(const Unit& unit) { m_unit = unit; }
    void setUnit(int code, const QString& text) { m_unit = Unit { code, text }; }
    void setBand(const QString& band) { m_band = band; }
    void setStatus0(bool on) { m_status0 = on; }
    void setStatus1(bool on) { m_status1 = on; }
    void setStatus2(bool on) { m_status2 = on; }
    void setStatus3(bool on) { m_status3 = on; }
    void setDetection(const QString& detection) { m_detection = detection; }
    void setBattery(int battery) { m_battery = battery; }

    // Reading states.
    enum State { Numeric = 0, OverRange = 1, NegativeOverRange = -1, NoReading = 2 };

private:
    QDateTime m_dateTime;
    QList<double> m_values;
    QStringList m_texts;
    int m_state = Numeric;
    bool m_fromStore = false;
    int m_storeIndex = 0;
    Unit m_unit;
    QString m_band;
    bool m_status0 = false;
    bool m_status1 = false;
    bool m_status2 = false;
    bool m_status3 = false;
    QString m_detection;
    int m_battery = 0;
};
