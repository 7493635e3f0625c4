#include "coalescingtimer.h"
#include "datamodel.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "readingtableview.h"

#include <QAbstractItemModelTester>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

namespace {
DmmData* reading(const QString& text, bool stored = false, int storeIndex = 0)
{
    auto* r = new DmmData;
    r->setDateTime(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
    if (!text.isNull()) {
        r->addValue(text.toDouble());
        r->addText(text);
    }
    r->setFromStore(stored);
    r->setStoreIndex(storeIndex);
    r->setUnit(2, QStringLiteral("cm/s"));
    r->setDetection(QStringLiteral("Vrms"));
    r->setBand(QStringLiteral("10-1kHz"));
    return r;
}

QList<ColumnHeader*> makeHeaders(QList<ColumnHeader>& storage)
{
    storage = { { "No.", 2 }, { "Date/Time", 3 }, { "Function", 3 }, { "Value", 3 }, { "Unit", 2 },
        { "Frequency(Hz)", 3 } };
    QList<ColumnHeader*> headers;
    for (ColumnHeader& h : storage)
        headers.append(&h);
    return headers;
}
}

class DataModelTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void passesModelTester();
    void numbersColumnZero_data();
    void numbersColumnZero();
    void cellContents_data();
    void cellContents();
    void headers_data();
    void headers();
    void announcesInsertions();
    void clearOnEmptyTableAnnouncesNothing();
    void removeRows_data();
    void removeRows();
    void clearingTableKeepsReadings();
    void clearReadingsEmptiesTheTableShowingThem();
    void deletingShownItemEmptiesTable();
    void removingRowsOfShownItemKeepsItsReadings();
    void itemBasics();
    void tableFollowsLastRow_data();
    void tableFollowsLastRow();
    void streamedTableMatchesFullRepaint_data();
    void streamedTableMatchesFullRepaint();

private:
    QList<ColumnHeader> headerStorage;
    QList<ColumnHeader*> headerList;
    DataModel* model = nullptr;
};

void DataModelTest::init()
{
    headerList = makeHeaders(headerStorage);
    model = new DataModel(headerList);
}

void DataModelTest::cleanup()
{
    delete model;
    model = nullptr;
}

void DataModelTest::passesModelTester()
{
    ItemData item("Measure1", ItemData::LiveMeasure);
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 5; ++i) {
        DmmData* r = reading(QString::number(i));
        item.appendReading(r);
        model->appendReading(r);
    }
    model->removeRows(3, 2);
    model->clear();
    model->setReadings(item.readings());
    model->removeRows(4, 10);
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(model->rowCount(model->index(0, 0)), 0);
    // Shown whole again; a reading the item stores is a row only once it is announced.
    model->showItem(&item);
    QCOMPARE(model->rowCount(), 5);
    DmmData* next = reading("5");
    item.appendReading(next);
    QCOMPARE(model->rowCount(), 5);
    model->addReading(&item, next);
    QCOMPARE(model->rowCount(), 6);
    QCOMPARE(model->index(5, 3).data().toString(), QStringLiteral("5"));
    item.clearReadings();
    QCOMPARE(model->rowCount(), 0);
}

void DataModelTest::numbersColumnZero_data()
{
    QTest::addColumn<QList<int>>("storeIndexes"); // -1 for a live reading
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("live rows count from 1") << QList<int> { -1, -1, -1 } << QList<int> { 1, 2, 3 };
    QTest::newRow("stored rows show the memory index")
        << QList<int> { 17, 5, 9999 } << QList<int> { 17, 5, 9999 };
    QTest::newRow("stored index 0 stays 0") << QList<int> { 0, -1 } << QList<int> { 0, 2 };
}

void DataModelTest::numbersColumnZero()
{
    QFETCH(QList<int>, storeIndexes);
    QFETCH(QList<int>, expected);
    ItemData item("x", ItemData::StoreData);
    for (int index : storeIndexes)
        item.appendReading(reading("1.0", index >= 0, qMax(index, 0)));
    model->setReadings(item.readings());
    for (int row = 0; row < expected.size(); ++row) {
        const QVariant v = model->index(row, 0).data();
        QCOMPARE(v.userType(), int(QMetaType::Int));
        QCOMPARE(v.toInt(), expected.at(row));
    }
    model->clear();
}

void DataModelTest::cellContents_data()
{
    QTest::addColumn<QString>("valueText");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QDateTime>("time");
    const int display = Qt::DisplayRole;
    const QDateTime usual(QDate(2026, 3, 4), QTime(5, 6, 7));
    QTest::newRow("date time") << "1.23" << 1 << display << QVariant("2026-03-04 05:06:07")
                               << usual;
    QTest::newRow("date time, last second of a year")
        << "1.23" << 1 << display << QVariant("2026-12-31 23:59:59")
        << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
    QTest::newRow("date time, universal time")
        << "1.23" << 1 << display << QVariant("2026-07-08 09:10:11")
        << QDateTime(QDate(2026, 7, 8), QTime(9, 10, 11), Qt::UTC);
    QTest::newRow("no date time") << "1.23" << 1 << display << QVariant("") << QDateTime();
    QTest::newRow("detection") << "1.23" << 2 << display << QVariant("Vrms") << usual;
    QTest::newRow("value text") << "1.23" << 3 << display << QVariant("1.23") << usual;
    QTest::newRow("over range text unchanged")
        << "    OL" << 3 << display << QVariant("    OL") << usual;
    QTest::newRow("no value text") << QString() << 3 << display << QVariant("0.0") << usual;
    QTest::newRow("unit") << "1.23" << 4 << display << QVariant("cm/s") << usual;
    QTest::newRow("band") << "1.23" << 5 << display << QVariant("10-1kHz") << usual;
    QTest::newRow("column past the end") << "1.23" << 6 << display << QVariant() << usual;
    QTest::newRow("every cell centred")
        << "1.23" << 3 << int(Qt::TextAlignmentRole)
        << QVariant(int(Qt::AlignHCenter | Qt::AlignVCenter)) << usual;
    QTest::newRow("no edit text") << "1.23" << 3 << int(Qt::EditRole) << QVariant() << usual;
    QTest::newRow("no tool tip") << "1.23" << 0 << int(Qt::ToolTipRole) << QVariant() << usual;
}

void DataModelTest::cellContents()
{
    QFETCH(QString, valueText);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    QFETCH(QDateTime, time);
    ItemData item("x", ItemData::LiveMeasure);
    DmmData* r = reading(valueText);
    r->setDateTime(time);
    item.appendReading(r);
    model->setReadings(item.readings());
    QCOMPARE(model->data(model->index(0, column), role), expected);
    QCOMPARE(model->data(model->index(1, column), role), QVariant()); // row past the end
    QCOMPARE(int(Qt::AlignHCenter | Qt::AlignVCenter), 132);
    QVERIFY(!(model->flags(model->index(0, 3)) & Qt::ItemIsEditable));
    model->clear();
}

void DataModelTest::headers_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("first title") << 0 << int(Qt::Horizontal) << int(Qt::DisplayRole)
                                 << QVariant("No.");
    QTest::newRow("last title") << 5 << int(Qt::Horizontal) << int(Qt::DisplayRole)
                                << QVariant("Frequency(Hz)");
    QTest::newRow("vertical header has no text")
        << 0 << int(Qt::Vertical) << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("other role") << 1 << int(Qt::Horizontal) << int(Qt::ToolTipRole) << QVariant();
    QTest::newRow("section past the end")
        << 6 << int(Qt::Horizontal) << int(Qt::DisplayRole) << QVariant();
}

void DataModelTest::headers()
{
    QFETCH(int, section);
    QFETCH(int, orientation);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    QCOMPARE(model->headerData(section, Qt::Orientation(orientation), role), expected);
    QCOMPARE(model->columnCount(), 6);
}

void DataModelTest::announcesInsertions()
{
    ItemData item("x", ItemData::LiveMeasure);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QVERIFY(inserted.isValid());
    QList<DmmData*> three;
    for (int i = 0; i < 3; ++i) {
        three.append(reading("2.0"));
        item.appendReading(three.last());
    }
    QCOMPARE(model->setReadings(three), 3);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 2);

    QCOMPARE(model->setReadings({}), 3);
    QCOMPARE(inserted.count(), 1);

    DmmData* fourth = reading("3.0");
    item.appendReading(fourth);
    QCOMPARE(model->appendReading(fourth), 4);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 3);
    QCOMPARE(inserted.at(1).at(2).toInt(), 3);
    QCOMPARE(model->index(3, 0).data().toInt(), 4);
    model->clear();
}

void DataModelTest::clearOnEmptyTableAnnouncesNothing()
{
    QSignalSpy aboutToRemove(model, &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy reset(model, &QAbstractItemModel::modelAboutToBeReset);
    model->clear();
    QCOMPARE(aboutToRemove.count(), 0);
    QCOMPARE(reset.count(), 0);
}

void DataModelTest::removeRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<int>("announcedLast"); // -1: nothing announced
    QTest::newRow("middle rows") << 5 << 1 << 2 << true << 3 << 2;
    QTest::newRow("last row") << 5 << 4 << 1 << true << 4 << 4;
    QTest::newRow("count past the end removes what exists") << 5 << 3 << 10 << true << 3 << 4;
    QTest::newRow("row past the end") << 5 << 5 << 1 << false << 5 << -1;
    QTest::newRow("empty table") << 0 << 0 << 1 << false << 0 << -1;
    QTest::newRow("negative row") << 5 << -1 << 2 << false << 5 << -1;
    QTest::newRow("zero count") << 5 << 0 << 0 << false << 5 << -1;
}

void DataModelTest::removeRows()
{
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(bool, result);
    QFETCH(int, remaining);
    QFETCH(int, announcedLast);
    ItemData item("x", ItemData::LiveMeasure);
    for (int i = 0; i < rows; ++i)
        item.appendReading(reading(QString::number(i)));
    model->setReadings(item.readings());
    // No model tester here: it expects the row after a gap to keep its data, but live rows are
    // numbered by position, so their numbers change; the model announces that instead.
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);

    QCOMPARE(model->removeRows(row, count), result);
    QCOMPARE(model->rowCount(), remaining);
    if (announcedLast < 0) {
        QCOMPARE(removed.count(), 0);
    } else {
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), row);
        QCOMPARE(removed.at(0).at(2).toInt(), announcedLast);
    }
    QCOMPARE(item.readings().size(), rows); // the table never deletes a reading
    if (result && row > 0)
        QCOMPARE(model->index(row - 1, 3).data().toString(), QString::number(row - 1));
    // Rows that moved up into the gap show their new numbers.
    const bool rowsMoved = result && row < remaining;
    QCOMPARE(changed.count(), rowsMoved ? 1 : 0);
    if (rowsMoved) {
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>().row(), row);
        QCOMPARE(changed.at(0).at(1).value<QModelIndex>().row(), remaining - 1);
        QCOMPARE(model->index(row, 0).data().toInt(), row + 1);
        QCOMPARE(model->index(row, 3).data().toString(), QString::number(row + count));
    }
    model->clear();
}

void DataModelTest::clearingTableKeepsReadings()
{
    ItemData item("x", ItemData::LiveMeasure);
    DmmData* first = reading("4.5");
    item.appendReading(first);
    item.appendReading(reading("5.5"));
    QPointer<DmmData> watch(first);
    model->setReadings(item.readings());
    model->clear();
    QVERIFY(!watch.isNull());
    QCOMPARE(item.readings().size(), 2);
    model->setReadings(item.readings());
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("4.5"));
    QCOMPARE(model->index(1, 0).data().toInt(), 2);
    model->clear();
}

void DataModelTest::clearReadingsEmptiesTheTableShowingThem()
{
    ItemData shown("shown", ItemData::LiveMeasure);
    ItemData other("other", ItemData::LiveMeasure);
    for (int i = 0; i < 3; ++i) {
        shown.appendReading(reading("1.0"));
        other.appendReading(reading("2.0"));
    }
    QPointer<DmmData> watch(shown.readings().first());
    QList<ColumnHeader> otherStorage;
    DataModel otherModel(makeHeaders(otherStorage));
    model->setReadings(shown.readings());
    otherModel.setReadings(other.readings());

    // The rows must be gone before any reading is deleted: the view reacts to the removal.
    bool readingAliveAtRemoval = false;
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
        [&] { readingAliveAtRemoval = !watch.isNull(); });
    shown.clearReadings();
    QVERIFY(readingAliveAtRemoval);
    QVERIFY(watch.isNull());
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(shown.readings().size(), 0);
    QCOMPARE(otherModel.rowCount(), 3);
    QCOMPARE(otherModel.index(2, 3).data().toString(), QStringLiteral("2.0"));

    other.clearReadings();
    QCOMPARE(otherModel.rowCount(), 0);
}

void DataModelTest::deletingShownItemEmptiesTable()
{
    auto* item = new ItemData("gone", ItemData::LiveMeasure);
    item->appendReading(reading("7.0"));
    QPointer<DmmData> watch(item->readings().first());
    model->setReadings(item->readings());
    delete item;
    QVERIFY(watch.isNull());
    QCOMPARE(model->rowCount(), 0);
}

void DataModelTest::removingRowsOfShownItemKeepsItsReadings()
{
    // The table reads a shown item's rows from the item; removing some must not touch the item,
    // and the item's later readings still become rows.
    ItemData item("x", ItemData::LiveMeasure);
    for (int i = 0; i < 4; ++i)
        item.appendReading(reading(QString::number(i)));
    model->showItem(&item);
    QVERIFY(model->removeRows(1, 2));
    DmmData* next = reading("4");
    item.appendReading(next);
    model->addReading(&item, next);
    QCOMPARE(item.readingCount(), 5);
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(1, 3).data().toString(), QStringLiteral("3"));
    QCOMPARE(model->index(2, 3).data().toString(), QStringLiteral("4"));
    model->showItem(&item);
    QCOMPARE(model->rowCount(), 5);
    QCOMPARE(model->index(2, 3).data().toString(), QStringLiteral("2"));
}

void DataModelTest::itemBasics()
{
    QCOMPARE(int(ItemData::LiveGroup), 0);
    QCOMPARE(int(ItemData::LiveMeasure), 1);
    QCOMPARE(int(ItemData::StoreData), 3);

    ItemData item("Measure1", ItemData::LiveMeasure);
    QCOMPARE(item.name(), QStringLiteral("Measure1"));
    QCOMPARE(item.type(), ItemData::LiveMeasure);
    QVERIFY(item.unitText().isEmpty());
    QVERIFY(item.readings().isEmpty());
    item.setName("Renamed");
    item.setUnitText("mm");
    QCOMPARE(item.name(), QStringLiteral("Renamed"));
    QCOMPARE(item.unitText(), QStringLiteral("mm"));

    QVERIFY(QMetaType::type("ItemData*") != QMetaType::UnknownType);
    const QVariant v = QVariant::fromValue(&item);
    QCOMPARE(v.typeName(), "ItemData*");
    QCOMPARE(v.value<ItemData*>(), &item);

    auto* owned = new ItemData("x", ItemData::StoreData);
    DmmData* r = reading("1.0");
    QPointer<DmmData> watch(r);
    owned->appendReading(r);
    delete owned;
    QVERIFY(watch.isNull());
}

void DataModelTest::tableFollowsLastRow_data()
{
    QTest::addColumn<bool>("shown");
    QTest::newRow("shown") << true;
    QTest::newRow("hidden, then shown") << false;
}

void DataModelTest::tableFollowsLastRow()
{
    QFETCH(bool, shown);
    ItemData item("Measure1", ItemData::LiveMeasure);
    ReadingTableView view;
    view.setModel(model);
    view.resize(400, 300);
    if (shown) {
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    auto lastRowInView = [&] {
        const QRect last = view.visualRect(model->index(model->rowCount() - 1, 0));
        return last.isValid() && view.viewport()->rect().contains(last);
    };

    // Rows arriving without a turn of the event loop in between, as fast as they can.
    for (int i = 0; i < 200; ++i) {
        DmmData* r = reading(QString::number(i));
        item.appendReading(r);
        model->appendReading(r);
        view.followLastRow();
    }
    // Every row is in the model at once; the view's layout and scroll wait for their timer.
    QCOMPARE(model->rowCount(), 200);
    QCOMPARE(model->index(199, 3).data().toString(), QStringLiteral("199"));
    if (shown) {
        QVERIFY(view.layoutTimer()->isPending());
        QVERIFY(!lastRowInView());
        view.layoutTimer()->flush();
    } else {
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
    // The latest row is in view, and the scroll range counts every row.
    QVERIFY(lastRowInView());
    QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    QCOMPARE(view.rowAt(view.viewport()->height() - 1), 199);
    model->clear();
}

void DataModelTest::streamedTableMatchesFullRepaint_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("perTick");
    QTest::addColumn<bool>("follow");
    QTest::newRow("rows fill an empty view") << 0 << 3 << true;
    QTest::newRow("rows scroll a full view") << 60 << 7 << true;
    QTest::newRow("more rows than the view holds") << 60 << 40 << true;
    QTest::newRow("rows below a view scrolled up") << 60 << 5 << false;
}

void DataModelTest::streamedTableMatchesFullRepaint()
{
    QFETCH(int, before);
    QFETCH(int, perTick);
    QFETCH(bool, follow);
    ItemData item("Measure1", ItemData::LiveMeasure);
    ReadingTableView view;
    view.setModel(model);
    view.resize(400, 300);
    int n = 0;
    auto add = [&](int count) {
        for (int i = 0; i < count; ++i, ++n) {
            DmmData* r = reading(QString::number(n));
            item.appendReading(r);
            model->appendReading(r);
            if (follow)
                view.followLastRow();
        }
    };
    add(before);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // What is on screen: the window's backing store, not a fresh rendering of the widget.
    auto onScreen = [&] {
        // Qt's own requests for a layout first, then the one waiting for its timer, then paint.
        QCoreApplication::processEvents();
        view.layoutTimer()->flush();
        QCoreApplication::processEvents();
        return view.screen()->grabWindow(view.winId()).toImage();
    };
    onScreen();
    for (int tick = 0; tick < 5; ++tick) {
        add(perTick);
        const QImage streamed = onScreen();
        view.viewport()->update();
        QCOMPARE(streamed, onScreen());
    }
    model->clear();
}

QTEST_MAIN(DataModelTest)
#include "tst_datamodel.moc"
