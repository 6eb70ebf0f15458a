#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QtTest>

using Devices = QVector<sim::SimDeviceSpec>;
Q_DECLARE_METATYPE(Devices)

namespace {

enum Fault { Unreadable = 1, NoPath = 2, PathLost = 4, NoBagLater = 8, NoFilter = 16 };

// A device whose version block names it: firmware version <tag>.0.0.
sim::SimDeviceSpec device(const QString &name, int tag = 0, int faults = 0)
{
    sim::SimDeviceSpec spec;
    spec.friendlyName = name;
    spec.versionBlock = QByteArray(43, '\0');
    spec.versionBlock[0] = static_cast<char>(tag);
    spec.friendlyNameReadable = !(faults & Unreadable);
    spec.hasDevicePath = !(faults & NoPath);
    spec.faults.devicePathLost = faults & PathLost;
    spec.faults.propertiesBind = faults & NoBagLater;
    spec.faults.filterBind = faults & NoFilter;
    return spec;
}

const QString cam = QStringLiteral("Ostrel Camera");
const QString listed = QStringLiteral("Ostrel Camera    ");
const QString webcam = QStringLiteral("Integrated Webcam");

QStringList itemTexts(const QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

int storedCount(const Tarnholm &w)
{
    int n = 0;
    while (n < 10 && w.deviceMonikers[n])
        ++n;
    return n;
}

} // namespace

class CameraDiscovery : public QObject {
    Q_OBJECT
private slots:
    void listing_data()
    {
        QTest::addColumn<Devices>("devices");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QVector<int>>("slotOf");   // table slot behind each item
        QTest::addColumn<int>("stored");

        QTest::newRow("webcam, then camera") << Devices{device(webcam), device(cam, 7)}
            << QStringList{listed} << QVector<int>{1} << 2;
        QTest::newRow("wrong case") << Devices{device("ostrel camera"), device("Ostrel camera"),
                                               device("OSTREL CAMERA")}
            << QStringList() << QVector<int>() << 3;
        QTest::newRow("words around the name") << Devices{device("USB Ostrel Camera HD", 3)}
            << QStringList{"USB Ostrel Camera HD    "} << QVector<int>{0} << 1;
        QTest::newRow("two of one name") << Devices{device(cam, 1), device(cam, 2)}
            << QStringList{listed, listed} << QVector<int>{0, 1} << 2;
        QTest::newRow("unreadable name after a camera") << Devices{device(cam, 1), device(cam, 2, Unreadable)}
            << QStringList{listed} << QVector<int>{0} << 2;
        QTest::newRow("no device path: not stored") << Devices{device(cam, 1, NoPath), device(cam, 2)}
            << QStringList{listed} << QVector<int>{0} << 1;
        QTest::newRow("device path lost after enumeration") << Devices{device(cam, 1, PathLost)}
            << QStringList{cam} << QVector<int>{0} << 1;
        QTest::newRow("no property bag while filling") << Devices{device(cam, 1, NoBagLater), device(cam, 2)}
            << QStringList{listed} << QVector<int>{1} << 2;
        QTest::newRow("filter cannot be bound") << Devices{device(cam, 1, NoFilter), device(cam, 2)}
            << QStringList{listed} << QVector<int>{0} << 1;
        Devices crowded(10, device(webcam));
        crowded.insert(9, device(cam, 9));
        QTest::newRow("camera tenth of eleven") << crowded
            << QStringList{listed} << QVector<int>{9} << 10;
        crowded.move(9, 10);
        QTest::newRow("camera eleventh") << crowded << QStringList() << QVector<int>() << 10;
    }
    void listing()
    {
        QFETCH(Devices, devices);
        QFETCH(QStringList, texts);
        QFETCH(QVector<int>, slotOf);
        QFETCH(int, stored);
        SimFixture sim;
        QVector<int> ids;
        for (const sim::SimDeviceSpec &spec : devices)
            ids << sim.world.capture.attach(spec);

        Tarnholm w;

        QComboBox *list = w.ui.DeviceList;
        QCOMPARE(itemTexts(list), texts);
        for (int i = 0; i < slotOf.size(); ++i) {
            QCOMPARE(list->itemData(i, Qt::UserRole).toLongLong(),
                     qlonglong(reinterpret_cast<quintptr>(w.deviceFilters[slotOf[i]])));
            QVERIFY(list->itemIcon(i).isNull());
        }
        QCOMPARE(storedCount(w), stored);
        QCOMPARE(list->currentIndex(), texts.isEmpty() ? -1 : 0);
        // The first listed camera's information is already on show.
        const QString shown = texts.isEmpty() ? QString()
            : QStringLiteral("Version : %1.0.0").arg(
                  sim.world.capture.device(sim.world.capture.idOfFilter(w.deviceFilters[slotOf[0]]))
                      ->versionBlock.at(0) & 0xFF);
        QCOMPARE(w.ui.DeviceInfo->toPlainText().section(QLatin1Char('\n'), 0, 0), shown);
        QCOMPARE(w.ui.EditInfo->toPlainText(), QString());
        // One reference on each stored device, none on the others.
        for (int i = 0; i < ids.size(); ++i) {
            const sim::SimDeviceCounters c = sim.world.capture.counters(ids[i]);
            QCOMPARE(c.monikerRefs, c.filterRefs);
            QVERIFY(c.monikerRefs <= 1);
        }
        QCOMPARE(sim.world.capture.referencesHeld(), 2 * stored);
    }

    void nothingFound()
    {
        for (bool enumerationFails : {false, true}) {
            SimFixture sim;
            if (enumerationFails) {
                sim.world.capture.attach(device(cam, 1));
                sim.world.capture.setEnumerationFails(true);
            }
            Tarnholm w;
            QCOMPARE(w.ui.DeviceList->count(), 0);
            QCOMPARE(w.ui.DeviceList->currentIndex(), -1);
            QCOMPARE(w.ui.EditInfo->toPlainText() + w.ui.DeviceInfo->toPlainText(), QString());
            QCOMPARE(storedCount(w), 0);
            QCOMPARE(sim.world.capture.referencesHeld(), 0);
        }
    }

    void refreshReleasesEachReferenceOnce()
    {
        SimFixture sim;
        const QVector<int> ids{sim.world.capture.attach(device(webcam)),
                               sim.world.capture.attach(device(cam, 4)),
                               sim.world.capture.attach(device("Ostrel Camera Pro", 5))};
        Tarnholm w;
        const QStringList before = itemTexts(w.ui.DeviceList);

        for (int round = 1; round <= 2; ++round) {
            w.ui.DeviceInfo->setPlainText(QStringLiteral("stale"));
            w.RefreshDeviceList();
            QCOMPARE(itemTexts(w.ui.DeviceList), before);
            QCOMPARE(w.ui.DeviceList->currentIndex(), 0);
            QCOMPARE(w.ui.DeviceInfo->toPlainText().section(QLatin1Char('\n'), 0, 0),
                     QStringLiteral("Version : 4.0.0"));
            for (int id : ids) {
                const sim::SimDeviceCounters c = sim.world.capture.counters(id);
                QCOMPARE(c.monikerReleases, round);
                QCOMPARE(c.filterReleases, round);
                QCOMPARE(c.monikerRefs, 1);
                QCOMPARE(c.filterRefs, 1);
            }
        }
        QCOMPARE(sim.world.capture.badReleases(), 0);
    }

    void refreshAfterChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("held");
        QTest::newRow("camera left") << "detach" << QStringList() << 2;
        QTest::newRow("enumeration fails") << "fail" << QStringList() << 0;
    }
    void refreshAfterChanges()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, texts);
        QFETCH(int, held);
        SimFixture sim;
        sim.world.capture.attach(device(webcam));
        const int id = sim.world.capture.attach(device(cam, 1));
        Tarnholm w;
        if (change == "detach")
            sim.world.capture.detach(id);
        else
            sim.world.capture.setEnumerationFails(true);

        w.RefreshDeviceList();

        QCOMPARE(itemTexts(w.ui.DeviceList), texts);
        QCOMPARE(sim.world.capture.counters(id).filterReleases, 1);
        QCOMPARE(sim.world.capture.referencesHeld(), held);
        QCOMPARE(sim.world.capture.badReleases(), 0);
        QCOMPARE(w.ui.EditInfo->toPlainText(), QString());
    }
};

QTEST_MAIN(CameraDiscovery)
#include "tst_camera_discovery.moc"
