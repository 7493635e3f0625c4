#include "itemdata.h"
#include "tvitemmodel.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QFont>
#include <QSignalSpy>
#include <QtTest>

class TvItemModelTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rolesHaveTheirValues();
    void passesModelTester();
    void displaysNameFromItemData();
    void onlyActiveRowIsBoldOrange_data();
    void onlyActiveRowIsBoldOrange();
    void editDataChanged_data();
    void editDataChanged();

private:
    QStandardItem* addItem(QStandardItem* parent, ItemData* data);
    void markActive(QStandardItem* active);

    TvItemModel* model = nullptr;
    QList<ItemData*> items;
    QStandardItem* store = nullptr;
    QStandardItem* live = nullptr;
    QList<QStandardItem*> measures;
};

QStandardItem* TvItemModelTest::addItem(QStandardItem* parent, ItemData* data)
{
    items.append(data);
    auto* item = new QStandardItem(QStringLiteral("own text"));
    item->setData(QVariant::fromValue(data), ItemDataRole);
    if (parent)
        parent->appendRow(item);
    else
        model->appendRow(item);
    return item;
}

// How the main window moves the mark: clear it on every top-level row and child, then set it.
void TvItemModelTest::markActive(QStandardItem* active)
{
    for (int r = 0; r < model->rowCount(); ++r) {
        QStandardItem* top = model->item(r);
        top->setData(false, ActiveRole);
        for (int c = 0; c < top->rowCount(); ++c)
            top->child(c)->setData(false, ActiveRole);
    }
    active->setData(true, ActiveRole);
}

void TvItemModelTest::init()
{
    model = new TvItemModel;
    model->setHorizontalHeaderLabels({ QStringLiteral("Name") });
    store = addItem(nullptr, new ItemData("Store Data", ItemData::StoreData));
    live = addItem(nullptr, new ItemData("Live Data", ItemData::LiveGroup));
    measures.clear();
    for (int i = 1; i <= 3; ++i)
        measures.append(
            addItem(live, new ItemData(QStringLiteral("Measure%1").arg(i), ItemData::LiveMeasure)));
}

void TvItemModelTest::cleanup()
{
    delete model;
    qDeleteAll(items);
    items.clear();
}

void TvItemModelTest::rolesHaveTheirValues()
{
    QCOMPARE(int(ActiveRole), 257);
    QCOMPARE(int(ItemDataRole), 258);
    QCOMPARE(TvItemModel::ActiveRole, 257);
    QCOMPARE(TvItemModel::ItemDataRole, 258);
}

void TvItemModelTest::passesModelTester()
{
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    markActive(measures.at(1));
    addItem(live, new ItemData("Measure4", ItemData::LiveMeasure));
    live->removeRow(0);
    model->setData(measures.at(2)->index(), "typed", Qt::EditRole);
    QCOMPARE(live->rowCount(), 3);
}

void TvItemModelTest::displaysNameFromItemData()
{
    const QModelIndex index = measures.at(0)->index();
    QCOMPARE(index.data().toString(), QStringLiteral("Measure1"));
    items.at(2)->setName("Renamed");
    QCOMPARE(index.data().toString(), QStringLiteral("Renamed"));
    QCOMPARE(measures.at(0)->text(), QStringLiteral("own text"));
    QCOMPARE(store->index().data().toString(), QStringLiteral("Store Data"));

    auto* bare = new QStandardItem(QStringLiteral("no item data"));
    model->appendRow(bare);
    const QVariant shown = bare->index().data();
    QCOMPARE(shown.userType(), int(QMetaType::QString));
    QVERIFY(shown.toString().isEmpty());
}

void TvItemModelTest::onlyActiveRowIsBoldOrange_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second"); // -1 for the store row, else a measure
    QTest::newRow("first measure, then the third") << 0 << 2;
    QTest::newRow("a measure, then the store") << 1 << -1;
    QTest::newRow("the store, then a measure") << -1 << 0;
}

void TvItemModelTest::onlyActiveRowIsBoldOrange()
{
    QFETCH(int, first);
    QFETCH(int, second);
    auto pick = [this](int which) { return which < 0 ? store : measures.at(which); };
    markActive(pick(first));
    markActive(pick(second));
    QStandardItem* active = pick(second);

    QList<QStandardItem*> all { store, live };
    all.append(measures);
    int boldCount = 0;
    for (QStandardItem* item : all) {
        const QModelIndex index = item->index();
        const QFont font = index.data(Qt::FontRole).value<QFont>();
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (item == active) {
            QCOMPARE(font.weight(), 75);
            QCOMPARE(foreground.value<QColor>(), QColor(0xd5, 0x7d, 0x00));
            ++boldCount;
        } else {
            QCOMPARE(font.weight(), 50);
            QVERIFY(!foreground.isValid());
        }
    }
    QCOMPARE(boldCount, 1);
}

void TvItemModelTest::editDataChanged_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("emitted");
    QTest::newRow("new name through the edit role") << QVariant("Other") << int(Qt::EditRole) << 1;
    QTest::newRow("same name through the edit role")
        << QVariant("Measure1") << int(Qt::EditRole) << 0;
    QTest::newRow("other role") << QVariant(true) << int(ActiveRole) << 0;
}

void TvItemModelTest::editDataChanged()
{
    QFETCH(QVariant, value);
    QFETCH(int, role);
    QFETCH(int, emitted);
    QSignalSpy spy(model, &TvItemModel::editDataChanged);
    QVERIFY(spy.isValid());
    const QModelIndex index = measures.at(0)->index();
    QVERIFY(model->setData(index, value, role));
    QCOMPARE(spy.count(), emitted);
    if (emitted)
        QCOMPARE(spy.at(0).at(0).value<QModelIndex>(), index);
}

QTEST_MAIN(TvItemModelTest)
#include "tst_tvitemmodel.moc"
