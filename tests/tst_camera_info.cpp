#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QtTest>

namespace {

// A version block: firmware bytes 0-6, MCU bytes 40-42, `length` bytes long
// (more than 43 imitates a library claiming more than the buffer holds).
QByteArray block(int length, QVector<int> head = {2, 1, 15, 0x07, 0xE5, 7, 5},
                 QVector<int> mcu = {1, 0, 3})
{
    QByteArray b(qMax(length, 43), '\0');
    for (int i = 0; i < 7; ++i)
        b[i] = static_cast<char>(head[i]);
    for (int i = 0; i < 3; ++i)
        b[40 + i] = static_cast<char>(mcu[i]);
    return b.left(length);
}
const QByteArray otherDate = block(43, {2, 1, 15, 0x07, 0xE5, 7, 6});
const QString listed = QStringLiteral("Ostrel Camera    ");
const QString notFound = QStringLiteral("Can't find device.\n");

} // namespace

class CameraInfo : public QObject {
    Q_OBJECT
private slots:
    // Each case runs the post-update check, then the information query.
    void queryAndCheck_data()
    {
        QTest::addColumn<QByteArrayList>("blocks");   // of same-named cameras, in list order
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("shown");           // by the query
        QTest::addColumn<QString>("message");         // by the query, and by the check as well
        QTest::addColumn<bool>("changed");            // the check's answer
        auto row = [](const char *tag, const QByteArrayList &blocks, const QString &shown, bool changed,
                      const QString &fault = {}, const QString &message = {}) {
            QTest::newRow(tag) << blocks << fault << shown << message << changed;
        };
        const QString vd = QStringLiteral("Version : 2.1.15\nDate : 2021-07-05");
        const QString mcu = QStringLiteral("\nMCU Version: 1.0.3");
        const QString od = QStringLiteral("Version : 2.1.15\nDate : 2021-07-06") + mcu;
        row("38", {block(38)}, QString(), false);
        row("39", {block(39)}, vd, false);
        row("42", {block(42)}, vd, false);
        row("43", {block(43)}, vd + mcu, false);
        row("claims 60", {block(60)}, vd + mcu, false);
        row("zero-filled", {block(43, {0, 0, 0, 0x00, 0x63, 1, 9}, {0, 0, 0})},
            "Version : 0.0.0\nDate : 0099-01-09\nMCU Version: 0.0.0", true);
        row("high bytes", {block(43, {0xFF, 0x80, 0x7F, 0xFF, 0xFF, 12, 31}, {0xFF, 0x80, 0x7F})},
            "Version : 255.128.127\nDate : 65535-12-31\nMCU Version: -1.-128.127", true);
        row("other date", {otherDate}, od, true);
        row("other version", {block(39, {2, 1, 16, 0x07, 0xE5, 7, 5})}, "Version : 2.1.16\nDate : 2021-07-05", true);
        row("short answer, second changed", {block(30), otherDate}, QString(), true);
        row("short answer, second same", {block(30), block(43)}, QString(), false);
        row("not back under that text", {otherDate}, od, false, "renamed");
        row("no item", {otherDate}, QString(), false, "no item", notFound);
        row("data not a number", {otherDate}, QString(), false, "bad data", notFound);
        row("init fails", {otherDate}, QString(), false, "init", "Initialize Device Error.");
        row("version read fails", {otherDate}, QString(), false, "get", "Get Version Failed");
    }
    void queryAndCheck()
    {
        QFETCH(QByteArrayList, blocks);
        QFETCH(QString, fault);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        QFETCH(bool, changed);
        SimFixture sim;
        QVector<int> ids;
        for (const QByteArray &b : blocks)
            ids << sim.world.capture.attach({QStringLiteral("Ostrel Camera"), true, true, b, {}});
        sim.world.capture.device(ids[0])->faults.deviceInit = fault == "init" ? 4 : 0;
        sim.world.capture.device(ids[0])->faults.versionGet = fault == "get" ? 5 : 0;
        Tarnholm w;
        if (fault == "no item")
            w.ui.DeviceList->clear();
        if (fault == "bad data")
            w.ui.DeviceList->setItemData(0, QStringLiteral("camera"), Qt::UserRole);
        // Traces of an earlier query that a new one must not keep.
        w.ui.EditInfo->setPlainText(QStringLiteral("old log"));
        w.ui.DeviceInfo->setPlainText(QStringLiteral("old info"));
        w.currentVersion = QStringLiteral("9.9.9");
        w.currentDate = QStringLiteral("1999-09-09");
        w.savedVersion = QStringLiteral("2.1.15");
        w.savedDate = QStringLiteral("2021-07-05");
        w.updateDeviceName = fault == "renamed" ? QStringLiteral("Ostrel Camera") : listed;

        QCOMPARE(w.CheckFwVersionChanged(), changed);
        // The check only adds its message below the log; it shows nothing.
        const bool reported = !message.isEmpty() && fault != "no item";
        QCOMPARE(w.ui.EditInfo->toPlainText(), reported ? "old log\n" + message : QStringLiteral("old log"));
        QCOMPARE(w.ui.DeviceInfo->toPlainText(), QStringLiteral("old info"));
        QCOMPARE(w.currentVersion, QStringLiteral("9.9.9"));

        w.ui.pBtnDeviceInfo->click();
        // Both panes are cleared first; only a full read sets version and date.
        QCOMPARE(w.ui.DeviceInfo->toPlainText(), shown);
        QCOMPARE(w.ui.EditInfo->toPlainText(), message);
        const bool full = !shown.isEmpty();
        QCOMPARE(w.currentVersion, full ? shown.section('\n', 0, 0).mid(10) : QStringLiteral("9.9.9"));
        QCOMPARE(w.currentDate, full ? shown.section('\n', 1, 1).mid(7) : QStringLiteral("1999-09-09"));
    }
};

QTEST_MAIN(CameraInfo)
#include "tst_camera_info.moc"
