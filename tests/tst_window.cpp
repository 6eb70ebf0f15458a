// The main window: its start and close, the cameras it lists, and what their version blocks show and decide
// after an update.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "update/update_state.h"
#include "support/sim_fixture.h"

#include <QtTest>

using Devices = QVector<sim::SimDeviceSpec>;
Q_DECLARE_METATYPE(Devices)

namespace {

enum Fault { Unreadable = 1, NoPath = 2, PathLost = 4, NoBagLater = 8, NoFilter = 16 };

sim::SimDeviceSpec device(const QString &name, int faults = 0)
{
    sim::SimDeviceSpec spec{name, !(faults & Unreadable), !(faults & NoPath), {}, {}};
    spec.faults.devicePathLost = faults & PathLost;
    spec.faults.propertiesBind = faults & NoBagLater;
    spec.faults.filterBind = faults & NoFilter;
    return spec;
}

// A version block `length` bytes long: firmware bytes 0-6 as given, MCU bytes 40-42 1.0.3.
QByteArray block(int length, QVector<int> head = {2, 1, 15, 0x07, 0xE5, 7, 5})
{
    QByteArray b(43, '\0');
    for (int i = 0; i < 7; ++i)
        b[i] = char(head[i]);
    b[40] = 1;
    b[42] = 3;
    return b.left(length);
}

const QString cam = QStringLiteral("Ostrel Camera");
const QString listed = QStringLiteral("Ostrel Camera    ");

// Catches the window's Worker as it moves to its thread (sent while the Worker is still here).
struct WorkerSpotter : QObject {
    QPointer<Worker> worker;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::ThreadChange && qobject_cast<Worker *>(object))
            worker = static_cast<Worker *>(object);
        return false;
    }
};

} // namespace

class Window : public QObject {
    Q_OBJECT
private slots:
    // Without device notifications the window works all the same; the trace alone says so. Its Worker lives on
    // the worker thread and is deleted there as the window closes.
    void startAndClose()
    {
        SimFixture sim;
        sim.world.notifier.setSubscriptionFails(true);
        sim.world.capture.attach(device(cam));
        DebugCapture debug;
        WorkerSpotter spotter;
        qApp->installEventFilter(&spotter);
        g_upgradeStage = UpgradeStage::DriveGone;   // left over: construction must start from none
        std::unique_ptr<Tarnholm> w(new Tarnholm);
        qApp->removeEventFilter(&spotter);
        QCOMPARE(int(g_upgradeStage), UpgradeStage::None);
        QCOMPARE(debug.lines(), QStringList("RegisterDeviceNotification Error"));
        QCOMPARE(w->ui.DeviceList->itemText(0), listed);
        QVERIFY(spotter.worker && spotter.worker->thread() == &w->workerThread);
        std::atomic<QThread *> deletedOn{nullptr};
        connect(spotter.worker, &QObject::destroyed, [&deletedOn]() { deletedOn = QThread::currentThread(); });
        QThread *const workerThread = &w->workerThread;
        w.reset();
        QCOMPARE(deletedOn.load(), workerThread);
    }

    void listing_data()
    {
        QTest::addColumn<Devices>("devices");
        QTest::addColumn<QString>("text");   // of the one item listed; empty: none
        QTest::addColumn<int>("deviceOf");   // the device behind it
        QTest::addColumn<int>("stored");     // devices the tables hold
        const auto row = [](const char *tag, const Devices &d, const QString &text, int of, int stored) {
            QTest::newRow(tag) << d << text << of << stored;
        };
        row("webcam, then camera", {device("Integrated Webcam"), device(cam)}, listed, 1, 2);
        row("wrong case", {device("ostrel camera"), device("Ostrel camera"), device("OSTREL CAMERA")}, "", 0, 3);
        row("words around the name", {device("USB Ostrel Camera HD")}, "USB Ostrel Camera HD    ", 0, 1);
        row("unreadable name after a camera", {device(cam), device(cam, Unreadable)}, listed, 0, 2);
        row("no path or no filter: not stored", {device(cam, NoPath), device(cam, NoFilter), device(cam)}, listed, 2,
            1);
        row("device path lost after enumeration", {device(cam, PathLost)}, cam, 0, 1);
        row("no property bag while filling", {device(cam, NoBagLater), device(cam)}, listed, 1, 2);
    }
    void listing()
    {
        QFETCH(Devices, devices);
        QFETCH(QString, text);
        QFETCH(int, deviceOf);
        QFETCH(int, stored);
        SimFixture sim;
        QVector<int> ids;
        for (int i = 0; i < devices.size(); ++i) {   // firmware <index>.0.0
            devices[i].versionBlock = block(43, {i, 0, 0, 0, 0, 0, 0});
            ids << sim.world.capture.attach(devices[i]);
        }
        Tarnholm w;
        QComboBox *list = w.ui.DeviceList;
        // Start-up fills the list, two refreshes the same one, a third whose enumeration fails nothing.
        for (int round = 0; round < 4; ++round) {
            if (round > 0) {
                sim.world.capture.setEnumerationFails(round == 3);
                w.ui.DeviceInfo->setPlainText(QStringLiteral("stale"));
                w.RefreshDeviceList();
            }
            const bool shown = round < 3 && !text.isEmpty();
            QCOMPARE(list->count(), int(shown));
            QCOMPARE(list->currentIndex(), shown ? 0 : -1);
            if (shown) {   // with its information on show at once
                QCOMPARE(list->itemText(0), text);
                QCOMPARE(quintptr(list->itemData(0).toLongLong()), quintptr(sim.world.capture.filterOf(ids[deviceOf])));
                QCOMPARE(w.ui.DeviceInfo->toPlainText().section('\n', 0, 0), QString("Version : %1.0.0").arg(deviceOf));
            }
            QCOMPARE(w.ui.EditInfo->toPlainText(), QString());
            // One reference on each stored moniker and filter; a refresh releases the last fill's once.
            QCOMPARE(sim.world.capture.referencesHeld(), round < 3 ? 2 * stored : 0);
            QCOMPARE(sim.world.capture.badReleases(), 0);
        }
    }

    // Each case runs the post-update check, then the information query.
    void queryAndCheck_data()
    {
        QTest::addColumn<QByteArrayList>("blocks");   // of same-named cameras, in list order
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("shown");           // by the query
        QTest::addColumn<QString>("message");         // by the query, and by the check as well
        QTest::addColumn<bool>("changed");            // the check's answer
        const auto row = [](const char *tag, const QByteArrayList &blocks, const QString &shown, bool changed,
                            const QString &fault = {}, const QString &message = {}) {
            QTest::newRow(tag) << blocks << fault << shown << message << changed;
        };
        const QString vd = QStringLiteral("Version : 2.1.15\nDate : 2021-07-05");
        const QString mcu = QStringLiteral("\nMCU Version: 1.0.3");
        const QByteArray otherDate = block(43, {2, 1, 15, 0x07, 0xE5, 7, 6});
        const QString od = QStringLiteral("Version : 2.1.15\nDate : 2021-07-06") + mcu;
        const QString notFound = QStringLiteral("Can't find device.\n");
        row("38", {block(38)}, QString(), false);
        row("39", {block(39)}, vd, false);
        row("42", {block(42)}, vd, false);
        row("43", {block(43)}, vd + mcu, false);
        row("other date", {otherDate}, od, true);
        row("other version", {block(39, {2, 1, 16, 0x07, 0xE5, 7, 5})}, "Version : 2.1.16\nDate : 2021-07-05", true);
        // Several items of that name and none told apart by port or path: none is read.
        row("same name twice, not told apart", {block(30), otherDate}, QString(), false);
        // The updated camera is the second; its port or path finds it.
        row("same name twice, second by its port", {block(43), otherDate}, vd + mcu, true, "port");
        row("same name twice, second by its path", {otherDate, block(43)}, od, false, "path");
        row("not back under that text", {otherDate}, od, false, "renamed");
        row("no item", {otherDate}, QString(), false, "no item", notFound);
        row("init fails", {otherDate}, QString(), false, "init", "Initialize Device Error.");
        row("version read fails", {otherDate}, QString(), false, "get", "Get Version Failed");
    }
    void queryAndCheck()
    {
        QFETCH(QByteArrayList, blocks);
        QFETCH(QString, fault);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        SimFixture sim;
        QVector<int> ids;
        for (const QByteArray &b : blocks) {
            // Ports and paths known only where the row tells the cameras apart by one.
            const QString n = QString::number(ids.size() + 1);
            ids << sim.world.capture.attach({cam, true, true, b, {}, fault == "port" ? "1-" + n : "",
                                             fault == "path" ? "\\\\?\\usb#" + n : ""});
        }
        sim::SimDeviceFaults &faults = sim.world.capture.device(ids[0])->faults;
        faults.deviceInit = fault == "init" ? 4 : 0;
        faults.versionGet = fault == "get" ? 5 : 0;
        Tarnholm w;
        if (fault == "no item")
            w.ui.DeviceList->clear();
        // Traces of an earlier query that a new one must not keep.
        w.ui.EditInfo->setPlainText(QStringLiteral("old log"));
        w.ui.DeviceInfo->setPlainText(QStringLiteral("old info"));
        w.currentVersion = "9.9.9", w.currentDate = "1999-09-09";
        w.savedVersion = "2.1.15", w.savedDate = "2021-07-05";
        w.updateDeviceName = fault == "renamed" ? cam : listed;
        w.updateDeviceIdentity = {fault == "path" ? "\\\\?\\USB#2" : "", fault == "port" ? "1-2" : ""};
        QTEST(w.CheckFwVersionChanged(), "changed");
        // The check only adds its message below the log; it shows nothing.
        const bool logged = !message.isEmpty() && fault != "no item";
        QCOMPARE(w.ui.EditInfo->toPlainText(), logged ? "old log\n" + message : "old log");
        QCOMPARE(w.ui.DeviceInfo->toPlainText(), QStringLiteral("old info"));
        QCOMPARE(w.currentVersion, QStringLiteral("9.9.9"));
        QCOMPARE(w.currentDate, QStringLiteral("1999-09-09"));
        w.ui.pBtnDeviceInfo->click();
        // Both panes are cleared first; only a full read sets version and date.
        QCOMPARE(w.ui.EditInfo->toPlainText(), message);
        QCOMPARE(w.ui.DeviceInfo->toPlainText(), shown);
        QCOMPARE(w.currentVersion, shown.isEmpty() ? "9.9.9" : shown.section('\n', 0, 0).mid(10));
        QCOMPARE(w.currentDate, shown.isEmpty() ? "1999-09-09" : shown.section('\n', 1, 1).mid(7));
    }
};

QTEST_MAIN(Window)
#include "tst_window.moc"
