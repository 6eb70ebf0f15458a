#include "app/tarnholm.h"
#include "storage/bus_check.h"
#include "support/box_text.h"

#include <QtTest>

class BusCheck : public QObject {
    Q_OBJECT
private slots:
    void check_data()
    {
        QTest::addColumn<int>("failingOpens"); // -1: never opens
        QTest::addColumn<quint32>("queryError");
        QTest::addColumn<int>("busType");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("opens");
        QTest::addColumn<QString>("box");
        const QString box("Error: %1 [information, OK, on TarnholmClass]\n");
        QTest::newRow("third attempt, SD bus") << 2 << 0u << 12 << false << 3 << "";
        QTest::newRow("opens on last attempt") << 10 << 0u << 7 << true << 11 << "";
        QTest::newRow("never opens") << -1 << 0u << 7 << false << 11
            << box.arg("CreateFile error. Error code(2), Path[\\\\.\\E:]");
        QTest::newRow("query fails") << 0 << 1u << 7 << false << 1
            << box.arg("DeviceIoControl error. Error code : 1");
    }
    void check()
    {
        QFETCH(int, failingOpens);
        QFETCH(quint32, queryError);
        QFETCH(int, busType);
        QFETCH(int, opens);
        SimFixture sim;
        Tarnholm w;
        // Drive D must stay unopened; the box shows the last failed open's code.
        sim.world.volumes.mount(sim::SimVolumeSpec{QLatin1Char('D'), 7, 0, false, {21}, 0});
        sim.world.volumes.mount(sim::SimVolumeSpec{QLatin1Char('E'), busType, qMax(failingOpens, 0),
                                                   failingOpens < 0, QVector<quint32>(10, 21) << 2,
                                                   queryError});
        BoxCloser closer;
        QTEST(w.IsUsbMassStorage(QLatin1Char('E')), "usb");
        QCOMPARE(sim.world.volumes.openCalls(), opens);
        QCOMPARE(sim.world.volumes.openCalls("\\\\.\\E:"), opens);
        QCOMPARE(sim.clock.sleeps().size(), opens - 1);
        for (const auto &s : sim.clock.sleeps())
            QCOMPARE(s.ms, 1000);
        QCOMPARE(sim.world.volumes.closeCalls(), failingOpens < 0 ? 0 : 1);
        QTEST(boxLines(closer.boxes), "box");
    }

    void mountPointIsOpenedByPath()
    {
        SimFixture sim;
        Tarnholm w;
        const int id = sim.world.volumes.mount(sim::SimVolumeSpec());
        const QString dir = sim.world.volumes.directory(id);
        QVERIFY(IsUsbVolume(&w, dir));
        QCOMPARE(sim.world.volumes.openCalls(dir), 1);
        QCOMPARE(sim.world.volumes.openHandles(), 0);
    }
};

QTEST_MAIN(BusCheck)
#include "tst_bus_check.moc"
