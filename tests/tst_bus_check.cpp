#include "app/tarnholm.h"
#include "storage/bus_check.h"
#include "support/sim_fixture.h"

#include <QtTest>

class BusCheck : public QObject {
    Q_OBJECT
private slots:
    void volumePath() { QCOMPARE(VolumePathForDrive(QLatin1Char('E')), QStringLiteral("\\\\.\\E:")); }

    void check_data()
    {
        QTest::addColumn<int>("failingOpens");
        QTest::addColumn<bool>("neverOpens");
        QTest::addColumn<quint32>("queryError");
        QTest::addColumn<int>("busType");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("opens");
        QTest::addColumn<QString>("box");

        QTest::newRow("opens at once") << 0 << false << 0u << 7 << true << 1 << "";
        QTest::newRow("opens on third attempt") << 2 << false << 0u << 7 << true << 3 << "";
        QTest::newRow("third attempt, SD bus") << 2 << false << 0u << 12 << false << 3 << "";
        QTest::newRow("opens on last attempt") << 10 << false << 0u << 7 << true << 11 << "";
        QTest::newRow("never opens") << 0 << true << 0u << 7 << false << 11
                                     << "CreateFile error. Error code(2), Path[\\\\.\\E:]";
        QTest::newRow("query fails") << 0 << false << 1u << 7 << false << 1
                                     << "DeviceIoControl error. Error code : 1";
        QTest::newRow("SATA disk") << 0 << false << 0u << 11 << false << 1 << "";
    }

    void check()
    {
        QFETCH(int, failingOpens);
        QFETCH(bool, neverOpens);
        QFETCH(int, opens);
        QFETCH(QString, box);
        SimFixture sim;
        Tarnholm w;
        sim::SimVolumeSpec spec;
        spec.letter = QLatin1Char('E');
        spec.failingOpens = failingOpens;
        spec.neverOpens = neverOpens;
        // Codes change on the way, so the box must show the last one.
        spec.openErrors = QVector<quint32>(10, 21) << 2;
        QFETCH(quint32, queryError);
        spec.queryError = queryError;
        QFETCH(int, busType);
        spec.busType = busType;
        sim.world.volumes.mount(sim::SimVolumeSpec{QLatin1Char('D'), 7, 0, false, {21}, 0});
        sim.world.volumes.mount(spec);
        BoxCloser closer;

        QTEST(w.IsUsbMassStorage(QLatin1Char('E')), "usb");

        QCOMPARE(sim.world.volumes.openCalls(), opens);
        QCOMPARE(sim.world.volumes.openCalls(QStringLiteral("\\\\.\\E:")), opens);
        const auto sleeps = sim.clock.sleeps();
        QCOMPARE(sleeps.size(), opens - 1);
        for (const auto &s : sleeps)
            QCOMPARE(s.ms, 1000);
        QCOMPARE(sim.world.volumes.openHandles(), 0);
        QCOMPARE(sim.world.volumes.closeCalls(), neverOpens ? 0 : 1);
        if (box.isEmpty()) {
            QCOMPARE(closer.boxes.size(), 0);
            return;
        }
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes[0].text, box);
        QCOMPARE(closer.boxes[0].title, QStringLiteral("Error"));
        QCOMPARE(closer.boxes[0].icon, QMessageBox::Information);
        QCOMPARE(closer.boxes[0].buttons, int(QMessageBox::Ok));
        QCOMPARE(closer.boxes[0].parentName, w.objectName());
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
