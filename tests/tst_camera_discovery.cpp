#include "app/tarnholm.h"
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

// Attaches the devices in order; each one's firmware version is <its index>.0.0.
QVector<int> attach(SimFixture &sim, Devices devices)
{
    QVector<int> ids;
    for (int i = 0; i < devices.size(); ++i) {
        devices[i].versionBlock = QByteArray(43, '\0');
        devices[i].versionBlock[0] = static_cast<char>(i);
        ids << sim.world.capture.attach(devices[i]);
    }
    return ids;
}

const QString cam = QStringLiteral("Ostrel Camera");
const QString listed = QStringLiteral("Ostrel Camera    ");
const QString webcam = QStringLiteral("Integrated Webcam");

} // namespace

class CameraDiscovery : public QObject {
    Q_OBJECT
private slots:
    void listing_data()
    {
        QTest::addColumn<Devices>("devices");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QVector<int>>("deviceOf");   // the device behind each item
        QTest::addColumn<int>("stored");              // devices the tables hold
        auto row = [](const char *tag, const Devices &d, const QStringList &texts, const QVector<int> &of, int stored) {
            QTest::newRow(tag) << d << texts << of << stored;
        };
        row("no device", {}, {}, {}, 0);
        row("webcam, then camera", {device(webcam), device(cam)}, {listed}, {1}, 2);
        row("wrong case", {device("ostrel camera"), device("Ostrel camera"), device("OSTREL CAMERA")}, {}, {}, 3);
        row("words around the name", {device("USB Ostrel Camera HD")}, {"USB Ostrel Camera HD    "}, {0}, 1);
        row("two of one name", {device(cam), device(cam)}, {listed, listed}, {0, 1}, 2);
        row("unreadable name after a camera", {device(cam), device(cam, Unreadable)}, {listed}, {0}, 2);
        row("no path or no filter: not stored", {device(cam, NoPath), device(cam, NoFilter), device(cam)},
            {listed}, {2}, 1);
        row("device path lost after enumeration", {device(cam, PathLost)}, {cam}, {0}, 1);
        row("no property bag while filling", {device(cam, NoBagLater), device(cam)}, {listed}, {1}, 2);
        Devices crowded(10, device(webcam));
        crowded.insert(9, device(cam));
        row("camera tenth of eleven", crowded, {listed}, {9}, 10);
        crowded.move(9, 10);
        row("camera eleventh", crowded, {}, {}, 10);
    }
    void listing()
    {
        QFETCH(Devices, devices);
        QFETCH(QStringList, texts);
        QFETCH(QVector<int>, deviceOf);
        QFETCH(int, stored);
        SimFixture sim;
        const QVector<int> ids = attach(sim, devices);
        Tarnholm w;
        QComboBox *list = w.ui.DeviceList;
        // Start-up fills the list; two refreshes rebuild the same one, and a
        // third, whose enumeration fails, leaves nothing listed or held.
        for (int round = 0; round < 4; ++round) {
            if (round > 0) {
                sim.world.capture.setEnumerationFails(round == 3);
                w.ui.DeviceInfo->setPlainText(QStringLiteral("stale"));
                w.RefreshDeviceList();
            }
            const int count = round < 3 ? texts.size() : 0;
            QCOMPARE(list->count(), count);
            for (int i = 0; i < count; ++i) {
                QCOMPARE(list->itemText(i), texts[i]);
                QCOMPARE(list->itemData(i, Qt::UserRole).toLongLong(),
                         qlonglong(reinterpret_cast<quintptr>(sim.world.capture.filterOf(ids[deviceOf[i]]))));
                QVERIFY(list->itemIcon(i).isNull());
            }
            QCOMPARE(list->currentIndex(), count ? 0 : -1);
            // The first listed camera's information is on show at once.
            if (count)
                QCOMPARE(w.ui.DeviceInfo->toPlainText().section('\n', 0, 0),
                         QStringLiteral("Version : %1.0.0").arg(deviceOf[0]));
            QCOMPARE(w.ui.EditInfo->toPlainText(), QString());
            // One reference on each stored moniker and filter; a refresh
            // releases those of the previous fill exactly once.
            QCOMPARE(sim.world.capture.referencesHeld(), round < 3 ? 2 * stored : 0);
            QCOMPARE(sim.world.capture.badReleases(), 0);
        }
    }
};

QTEST_MAIN(CameraDiscovery)
#include "tst_camera_discovery.moc"
