#include "dlgexport.h"
#include "modaldriver.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QtTest>

class DlgExportTest : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void kindFollowsLastButton_data();
    void kindFollowsLastButton();
    void buttons_data();
    void buttons();
};

void DlgExportTest::form()
{
    dlgExport dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("dlgExport"));
    QVERIFY(dialog.windowTitle().isEmpty());
    QCOMPARE(dialog.size(), QSize(264, 148));

    auto* grid = dialog.findChild<QGridLayout*>(QStringLiteral("gridLayout_2"));
    auto* box = dialog.findChild<QVBoxLayout*>(QStringLiteral("verticalLayout"));
    auto* table = dialog.findChild<QRadioButton*>(QStringLiteral("rbTable"));
    auto* chart = dialog.findChild<QRadioButton*>(QStringLiteral("rbChart"));
    auto* pdf = dialog.findChild<QRadioButton*>(QStringLiteral("rbPdf"));
    auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    QVERIFY(grid && box && table && chart && pdf && buttons);
    QCOMPARE(dialog.layout(), grid);
    QCOMPARE(grid->itemAtPosition(0, 0)->layout(), box);
    QCOMPARE(grid->itemAtPosition(1, 0)->widget(), buttons);
    QCOMPARE(box->contentsMargins().left(), 6);
    QCOMPARE(box->indexOf(table), 0);
    QCOMPARE(box->indexOf(chart), 1);
    QCOMPARE(box->indexOf(pdf), 2);
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons->orientation(), Qt::Horizontal);

    QCOMPARE(table->text(), QStringLiteral("Table(XLS)"));
    QCOMPARE(chart->text(), QStringLiteral("Chart(JPG)"));
    QCOMPARE(pdf->text(), QStringLiteral("PDF"));

    // The designed PDF table stays hidden; the table is checked.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(table->isVisible());
    QVERIFY(chart->isVisible());
    QVERIFY(!pdf->isVisible());
    // The added kinds, each with its own button below the designed ones.
    const QStringList added { "rbCsv", "rbWorkbook", "rbReport", "rbAllItems" };
    const QStringList texts { "Table(CSV)", "Workbook(XLSX)", "Report(PDF)", "All items(XLSX)" };
    for (int i = 0; i < added.size(); ++i) {
        auto* button = dialog.findChild<QRadioButton*>(added.at(i));
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->text(), texts.at(i));
        QCOMPARE(box->indexOf(button), 3 + i);
    }
    QVERIFY(table->isChecked());
    QCOMPARE(dialog.exportKind(), int(dlgExport::Table));
}

void DlgExportTest::kindFollowsLastButton_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("kind");
    QTest::newRow("untouched") << QStringList() << 0;
    QTest::newRow("chart") << QStringList { "rbChart" } << 1;
    QTest::newRow("chart then table") << QStringList { "rbChart", "rbTable" } << 0;
    QTest::newRow("pdf (hidden, switched on by code)") << QStringList { "rbPdf" } << 2;
    QTest::newRow("pdf then chart") << QStringList { "rbPdf", "rbChart" } << 1;
    QTest::newRow("chart twice") << QStringList { "rbChart", "rbChart" } << 1;
    QTest::newRow("workbook") << QStringList { "rbWorkbook" } << 4;
    QTest::newRow("report") << QStringList { "rbReport" } << 5;
    QTest::newRow("all items") << QStringList { "rbAllItems" } << 6;
    QTest::newRow("all items then table") << QStringList { "rbAllItems", "rbTable" } << 0;
}

void DlgExportTest::kindFollowsLastButton()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, kind);
    dlgExport dialog;
    for (const QString& name : clicks)
        dialog.findChild<QRadioButton*>(name)->setChecked(true);
    QCOMPARE(dialog.exportKind(), kind);
}

void DlgExportTest::buttons_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("ok") << int(QDialogButtonBox::Ok) << int(QDialog::Accepted);
    QTest::newRow("cancel") << int(QDialogButtonBox::Cancel) << int(QDialog::Rejected);
}

// The dialog runs modally; the driver presses the button the way a user would.
void DlgExportTest::buttons()
{
    QFETCH(int, button);
    QFETCH(int, result);
    dlgExport dialog;
    ModalDriver driver;
    driver.expect([button](QWidget* modal) {
        modal->findChild<QRadioButton*>(QStringLiteral("rbChart"))->click();
        QTest::mouseClick(
            modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::StandardButton(button)),
            Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(driver.pending(), 0);
    QCOMPARE(driver.last().className, QStringLiteral("dlgExport"));
    QCOMPARE(dialog.exportKind(), int(dlgExport::Chart));
}

QTEST_MAIN(DlgExportTest)
#include "tst_dlgexport.moc"
