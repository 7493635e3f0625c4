// The explanation under "Failed to open device." when the meter's port may not be opened: it
// names the port, says what the installed (or missing) access rule means, and the group way out.
#include "openfailure.h"

#include <QFileInfo>
#include <QTemporaryFile>
#include <QTest>

class PermissionHintTest : public QObject
{
    Q_OBJECT

private slots:
    void hint_data();
    void hint();
    void onlyPermissionProblemsMentionTheRule_data();
    void onlyPermissionProblemsMentionTheRule();
};

void PermissionHintTest::hint_data()
{
    QTest::addColumn<bool>("ruleInstalled");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("absent");
    QTest::newRow("rule installed: replug") << true << "plug it in again"
                                            << "Installing";
    QTest::newRow("no rule: install the package") << false << "Installing the vibview package"
                                                  << "plug it in again";
}

void PermissionHintTest::hint()
{
    QFETCH(bool, ruleInstalled);
    QFETCH(QString, expected);
    QFETCH(QString, absent);
    QTemporaryFile port;
    QVERIFY(port.open());
    const QString group = QFileInfo(port.fileName()).group();
    const QString text
        = OpenFailure::text(OpenFailure::Reason::PermissionDenied, port.fileName(), ruleInstalled);
    QVERIFY2(text.startsWith(QStringLiteral("Permission denied on ") + port.fileName()),
        qPrintable(text));
    QVERIFY2(text.contains(expected), qPrintable(text));
    QVERIFY2(!text.contains(absent), qPrintable(text));
    if (!group.isEmpty())
        QVERIFY2(text.contains('"' + group + '"'), qPrintable(text));
    // The two-argument form decides about the rule itself, the same way.
    QCOMPARE(OpenFailure::text(OpenFailure::Reason::PermissionDenied, port.fileName()),
        OpenFailure::text(OpenFailure::Reason::PermissionDenied, port.fileName(),
            OpenFailure::accessRuleInstalled()));
}

void PermissionHintTest::onlyPermissionProblemsMentionTheRule_data()
{
    QTest::addColumn<int>("reason");
    QTest::newRow("no port") << int(OpenFailure::Reason::NoPort);
    QTest::newRow("busy") << int(OpenFailure::Reason::Busy);
}

void PermissionHintTest::onlyPermissionProblemsMentionTheRule()
{
    QFETCH(int, reason);
    for (bool rule : { false, true }) {
        const QString text
            = OpenFailure::text(OpenFailure::Reason(reason), QStringLiteral("/dev/ttyUSB0"), rule);
        QVERIFY(!text.isEmpty());
        QVERIFY2(
            !text.contains(QStringLiteral("rule")) && !text.contains(QStringLiteral("package")),
            qPrintable(text));
    }
}

QTEST_MAIN(PermissionHintTest)
#include "tst_permissionhint.moc"
