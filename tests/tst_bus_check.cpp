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
        QTest::newRow("opens at once") << 0 << 0u << 7 << true << 1 << "";
        QTest::newRow("third attempt, SD bus") << 2 << 0u << 12 << false << 3 << "";
        QTest::newRow("opens on last attempt") << 10 << 0u << 7 << true << 11 << "";
        QTest::newRow("never opens") << -1 << 0u << 7 << false << 11
                                     << "Error: CreateFile error. Error code(2), Path[\\\\.\\E:] [information, OK, on TarnholmClass]\n";
        QTest::newRow("query fails") << 0 << 1u << 7 << false << 1
                                     << "Error: DeviceIoControl error. Error code : 1 [information, OK, on TarnholmClass]\n";
    }
    void check()
    {
        QFETCH(int, failingOpens);
        QFETCH(int, opens);
        SimFixture sim;
        Tarnholm w;
        sim::SimVolumeSpec spec;
        spec.letter = QLatin1Char('E');
        spec.failingOpens = qMax(failingOpens, 0);
        spec.neverOpens = failingOpens < 0;
        spec.openErrors = QVector<quint32>(10, 21) << 2; // the box must show the last code
        QFETCH(quint32, queryError);
        spec.queryError = queryError;
        QFETCH(int, busType);
        spec.busType = busType;
        sim.world.volumes.mount(sim::SimVolumeSpec{QLatin1Char('D'), 7, 0, false, {21}, 0});
        sim.world.volumes.mount(spec);
        BoxCloser closer;
        QTEST(w.IsUsbMassStorage(QLatin1Char('E')), "usb");
        QCOMPARE(sim.world.volumes.openCalls(), opens);
        QCOMPARE(sim.world.volumes.openCalls("\\\\.\\E:"), opens);
        QCOMPARE(sim.clock.sleeps().size(), opens - 1);
        for (const auto &s : sim.clock.sleeps())
            QCOMPARE(s.ms, 1000);
        QCOMPARE(sim.world.volumes.openHandles(), 0);
        QCOMPARE(sim.world.volumes.closeCalls(), failingOpens < 0 ? 0 : 1);
        QTEST(boxLines(closer.boxes), "box");
    }

    void mountPointIsOpenedByPath()
    {
        SimFixture sim;
        Tarnholm w;
        const QString dir = sim.world.volumes.directory(sim.world.volumes.mount(sim::SimVolumeSpec()));
        QVERIFY(IsUsbVolume(&w, dir));
        QCOMPARE(sim.world.volumes.openCalls(dir), 1);
        QCOMPARE(sim.world.volumes.openHandles(), 0);
    }
};

QTEST_MAIN(BusCheck)
#include "tst_bus_check.moc"
