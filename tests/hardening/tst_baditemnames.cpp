// Item names a user may type or paste: very long, right-to-left, combining marks, characters
// outside the basic plane, invisible ones. Each is kept exactly (blanks around it trimmed) through
// creating and renaming, and the window stays usable.

#include "modaldriver.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QAction>
#include <QTest>
#include <QTreeView>

namespace {

QAction* action(Widget& w, const char* name)
{
    return w.findChild<QAction*>(QLatin1String(name));
}

QTreeView* tree(Widget& w)
{
    return w.findChild<QTreeView*>(QStringLiteral("tvItems"));
}

QModelIndex liveGroup(Widget& w)
{
    return tree(w)->model()->index(1, 0);
}

QStringList liveNames(Widget& w)
{
    QStringList names;
    QAbstractItemModel* model = tree(w)->model();
    for (int row = 0; row < model->rowCount(liveGroup(w)); ++row) {
        const QModelIndex index = model->index(row, 0, liveGroup(w));
        names << index.data(ItemDataRole).value<ItemData*>()->name();
        // What the tree shows is the item's name, not a copy that could drift.
        if (index.data(Qt::DisplayRole).toString() != names.last())
            names.last() += QStringLiteral(" <shown differently>");
    }
    return names;
}

QString longName()
{
    QString name;
    for (int i = 0; name.size() < 10000; ++i)
        name += QString::number(i % 10);
    return name;
}

} // namespace

class BadItemNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void namesAreKept_data();
    void namesAreKept();
};

void BadItemNamesTest::namesAreKept_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("10,000 characters") << longName() << longName();
    QTest::newRow("10,000 wide characters")
        << QString(10000, QChar(0x6F22)) << QString(10000, QChar(0x6F22));
    QTest::newRow("right to left")
        << QStringLiteral("\u05de\u05d3\u05d9\u05d3\u05d4 1 \u0642\u064a\u0627\u0633")
        << QStringLiteral("\u05de\u05d3\u05d9\u05d3\u05d4 1 \u0642\u064a\u0627\u0633");
    QTest::newRow("combining marks")
        << QStringLiteral("Z\u0351\u036b\u0343\u036a\u0302a\u0300\u0301\u0302\u0303")
        << QStringLiteral("Z\u0351\u036b\u0343\u036a\u0302a\u0300\u0301\u0302\u0303");
    QTest::newRow("outside the basic plane")
        << QString::fromUtf8("pump \xF0\x9F\x94\xA7 \xF0\x90\x8D\x88 \xF0\x9D\x9B\x91")
        << QString::fromUtf8("pump \xF0\x9F\x94\xA7 \xF0\x90\x8D\x88 \xF0\x9D\x9B\x91");
    QTest::newRow("invisible and direction marks") << QStringLiteral(
        "a\u200b\u200d\u202e\u2066b\ufeff") << QStringLiteral("a\u200b\u200d\u202e\u2066b\ufeff");
    QTest::newRow("markup and percent signs")
        << QStringLiteral("<b>%1 & %n</b>") << QStringLiteral("<b>%1 & %n</b>");
    QTest::newRow("blanks around")
        << QStringLiteral("  \t Motor A \t ") << QStringLiteral("Motor A");
}

void BadItemNamesTest::namesAreKept()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QStringList before = liveNames(w);

    ModalDriver driver;
    driver.acceptInput(typed);
    action(w, "actionItemNew")->trigger();
    QVERIFY(driver.waitAllAnswered());
    const QStringList after = liveNames(w);
    QCOMPARE(after.size(), before.size() + 1);
    QCOMPARE(after.last(), kept);

    // The names swap places: the new item's name is taken, so it goes through a free one.
    QAbstractItemModel* model = tree(w)->model();
    const QModelIndex first = model->index(0, 0, liveGroup(w));
    const QModelIndex added = model->index(after.size() - 1, 0, liveGroup(w));
    for (const auto& rename : { qMakePair(added, QStringLiteral("free")), qMakePair(first, typed),
             qMakePair(added, before.first()) }) {
        tree(w)->setCurrentIndex(rename.first);
        driver.acceptInput(rename.second);
        action(w, "actionItemRename")->trigger();
        QVERIFY(driver.waitAllAnswered());
    }
    // Every answer was a name prompt: no rename was refused.
    for (const ModalDriver::Seen& seen : driver.seen())
        QVERIFY(seen.className == QLatin1String("QInputDialog"));
    QStringList expected = after;
    expected.first() = kept;
    expected.last() = before.first();
    QCOMPARE(liveNames(w), expected);

    // The window still works: the odd-named item can become the active one and be painted.
    tree(w)->setCurrentIndex(model->index(0, 0, liveGroup(w)));
    action(w, "actionItemSetToActive")->trigger();
    QVERIFY(model->index(0, 0, liveGroup(w)).data(ActiveRole).toBool());
    tree(w)->resizeColumnToContents(0);
    QVERIFY(!w.grab().isNull());
    QVERIFY(w.close());
}

QTEST_MAIN(BadItemNamesTest)
#include "tst_baditemnames.moc"
