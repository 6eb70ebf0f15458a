#include "app/tarnholm.h"
#include "support/sim_fixture.h"

#include <QtTest>

class ShellSmoke : public QObject {
    Q_OBJECT
private slots:
    void windowOpensOnSimulatedWorld()
    {
        SimFixture sim;
        Tarnholm w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Ostrel Quorvia Camera Update Tool"));
        QCOMPARE(w.size(), QSize(618, 424));
    }
};

QTEST_MAIN(ShellSmoke)
#include "tst_shell_smoke.moc"
