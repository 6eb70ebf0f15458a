// The window's life: start-up on an empty machine, the device subscription,
// the window icon, the worker thread and its queued job, and closing.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/sim_fixture.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Catches the Worker as the window moves it to its thread: the ThreadChange
// event is sent while the object still lives on the GUI thread.
struct WorkerSpotter : QObject {
    WorkerSpotter() { qApp->installEventFilter(this); }
    ~WorkerSpotter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (auto *worker = qobject_cast<Worker *>(object); worker && event->type() == QEvent::ThreadChange)
            workers << worker;
        return false;
    }
    QList<QPointer<Worker>> workers;
};

} // namespace

class WindowLifecycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }

    void startAndClose_data()
    {
        QTest::addColumn<bool>("subscriptionFails");
        QTest::addColumn<bool>("iconPresent");
        QTest::newRow("subscribed, app.ico present") << false << true;
        QTest::newRow("subscription fails, no app.ico") << true << false;
    }
    void startAndClose()
    {
        QFETCH(bool, subscriptionFails);
        QFETCH(bool, iconPresent);
        QTemporaryDir dir;   // the window icon comes from "app.ico" in the working directory
        if (iconPresent)
            QVERIFY(QFile::copy(QFINDTESTDATA("../app/app.ico"), dir.filePath(QStringLiteral("app.ico"))));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        SimFixture sim;
        sim.world.notifier.setSubscriptionFails(subscriptionFails);
        BoxCloser boxes;
        DebugCapture debug;
        WorkerSpotter spotter;
        g_upgradeStage = 4;   // left over: construction must start from 0

        auto *w = new Tarnholm;
        QDir::setCurrent(previous);
        QCOMPARE(g_mainWindow, w);
        QCOMPARE(g_upgradeStage.load(), 0);
        QCOMPARE(sim.world.notifier.subscribed(), !subscriptionFails);
        // Qt keeps an icon object for a missing file, but it has no image.
        QCOMPARE(w->windowIcon().pixmap(16, 16).isNull(), !iconPresent);
        // No camera: nothing listed, nothing shown; the only report is a failed subscription.
        QCOMPARE(w->ui.DeviceList->count(), 0);
        QCOMPARE(w->ui.DeviceInfo->toPlainText() + w->ui.EditInfo->toPlainText(), QString());
        const QString failure = QStringLiteral("RegisterDeviceNotification Error");
        QCOMPARE(debug.lines(), subscriptionFails ? QStringList{failure} : QStringList());
        for (const DebugCapture::Line &line : debug.detailed())
            QVERIFY(line.file.endsWith("tarnholm.cpp") && line.line > 0 && line.function.contains("Tarnholm"));

        // Exactly one Worker, already on the running worker thread.
        QCOMPARE(spotter.workers.size(), 1);
        QPointer<Worker> worker = spotter.workers[0];
        QThread *const workerThread = &w->workerThread;
        QCOMPARE(worker->thread(), workerThread);
        std::atomic<QThread *> deletedOn{nullptr};
        connect(worker, &QObject::destroyed, [&]() { deletedOn = QThread::currentThread(); });

        // The window works without notifications; a list without current item shows nothing.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::keyClicks(w->ui.EditFwFile, QStringLiteral("fw.hex"));
        QCOMPARE(w->ui.EditFwFile->text(), QStringLiteral("fw.hex"));
        w->ui.DeviceInfo->setPlainText(QStringLiteral("kept"));
        QVERIFY(QMetaObject::invokeMethod(w, "on_DeviceList_currentIndexChanged", Q_ARG(int, -1)));
        QCOMPARE(w->ui.DeviceInfo->toPlainText() + w->ui.EditInfo->toPlainText(), QStringLiteral("kept"));

        // Closing ends the event loop with 0; the window's end finishes the
        // thread, whose last act is deleting the Worker on it.
        QTimer::singleShot(0, w, &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(workerThread->isRunning());
        delete w;
        QVERIFY(worker.isNull());
        QCOMPARE(deletedOn.load(), workerThread);
        QVERIFY(boxes.boxes.isEmpty());
    }

    void jobReachesWorkerThreadIntact()
    {
        SimFixture sim;
        BoxCloser boxes;   // the Worker may object to the job
        WorkerSpotter spotter;
        std::atomic<QThread *> ranOn{nullptr};
        fw_info received;
        Tarnholm w;
        // Queued to the Worker's thread like the Worker's own slot.
        connect(&w, &Tarnholm::StartLoadFwThread, spotter.workers.value(0), [&](const fw_info &job) {
            received = job;
            ranOn = QThread::currentThread();
        });

        fw_info job{QStringLiteral("D:\\固件\\cam v2.hex"), QStringLiteral("Z:\\")};
        emit w.StartLoadFwThread(job);
        job.fw_file = QStringLiteral("changed after emit");
        QTRY_VERIFY_WITH_TIMEOUT(ranOn.load(), 10000);
        QCOMPARE(ranOn.load(), &w.workerThread);
        QCOMPARE(received.fw_file, QStringLiteral("D:\\固件\\cam v2.hex"));
        QCOMPARE(received.disk_path, QStringLiteral("Z:\\"));
    }
};

QTEST_MAIN(WindowLifecycle)
#include "tst_window_lifecycle.moc"
