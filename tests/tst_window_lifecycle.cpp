// The window's life: start-up, subscription, icon, worker thread and its job, closing.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/sim_fixture.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

// Catches the Worker as the window moves it to its thread (sent while it is still here).
struct WorkerSpotter : QObject {
    WorkerSpotter() { qApp->installEventFilter(this); }
    ~WorkerSpotter() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::ThreadChange && qobject_cast<Worker *>(object))
            workers << static_cast<Worker *>(object);
        return false;
    }
    QList<QPointer<Worker>> workers;
};

class WindowLifecycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }

    void startAndClose_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("subscribed, app.ico present") << false;
        QTest::newRow("subscription fails, no app.ico") << true;
    }
    void startAndClose()
    {
        QFETCH(bool, fails);
        QTemporaryDir dir; // the window icon comes from "app.ico" in the working directory
        if (!fails)
            QVERIFY(QFile::copy(QFINDTESTDATA("../app/app.ico"), dir.filePath("app.ico")));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        SimFixture sim;
        sim.world.notifier.setSubscriptionFails(fails);
        BoxCloser boxes;
        DebugCapture debug;
        WorkerSpotter spotter;
        g_upgradeStage = 4; // left over: construction must start from 0
        auto *w = new Tarnholm;
        QDir::setCurrent(previous);
        // A missing icon file leaves an icon without image. No camera: nothing
        // listed or shown; the only report is a failed subscription.
        QCOMPARE(g_mainWindow, w);
        QCOMPARE(QString("stage %1, subscribed %2, icon %3, %4 listed [%5]")
                     .arg(g_upgradeStage.load()).arg(sim.world.notifier.subscribed())
                     .arg(!w->windowIcon().pixmap(16, 16).isNull()).arg(w->ui.DeviceList->count())
                     .arg(w->ui.DeviceInfo->toPlainText() + w->ui.EditInfo->toPlainText()),
                 QString("stage 0, subscribed %1, icon %1, 0 listed []").arg(!fails));
        QCOMPARE(debug.lines().join("|"), fails ? "RegisterDeviceNotification Error" : "");
        for (const DebugCapture::Line &l : debug.detailed()) // file, line and function as context
            QVERIFY(l.file.endsWith("tarnholm.cpp") && l.line && l.function.contains("Tarnholm"));
        // One Worker, on the running worker thread, gets a job from StartLoadFwThread intact
        // (its own slot, which would act on the job, is cut off).
        QCOMPARE(spotter.workers.size(), 1);
        QPointer<Worker> worker = spotter.workers[0];
        QThread *const workerThread = &w->workerThread;
        QCOMPARE(worker->thread(), workerThread);
        std::atomic<QThread *> deletedOn{nullptr}, ranOn{nullptr};
        connect(worker, &QObject::destroyed, [&]() { deletedOn = QThread::currentThread(); });
        disconnect(w, &Tarnholm::StartLoadFwThread, worker, nullptr);
        fw_info job{QStringLiteral("D:\\固件\\cam v2.hex"), QStringLiteral("Z:\\")}, received;
        connect(w, &Tarnholm::StartLoadFwThread, worker, [&](const fw_info &arrived) {
            received = arrived;
            ranOn = QThread::currentThread();
        });
        emit w->StartLoadFwThread(job);
        job.fw_file = QStringLiteral("changed after emit");
        QTRY_COMPARE_WITH_TIMEOUT(ranOn.load(), workerThread, 10000);
        QCOMPARE(received.fw_file + " > " + received.disk_path,
                 QStringLiteral("D:\\固件\\cam v2.hex > Z:\\"));
        // The window works without notifications; a list without current item shows nothing.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::keyClicks(w->ui.EditFwFile, QStringLiteral("fw.hex"));
        w->ui.DeviceInfo->setPlainText(QStringLiteral("kept"));
        QVERIFY(QMetaObject::invokeMethod(w, "on_DeviceList_currentIndexChanged", Q_ARG(int, -1)));
        QCOMPARE(w->ui.EditFwFile->text() + ", " + w->ui.DeviceInfo->toPlainText()
                     + w->ui.EditInfo->toPlainText(), QStringLiteral("fw.hex, kept"));
        // Closing ends the event loop with 0; the window's end finishes the thread,
        // whose last act is deleting the Worker on it.
        QTimer::singleShot(0, w, &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(workerThread->isRunning());
        delete w;
        QCOMPARE(deletedOn.load(), workerThread);
        QVERIFY(boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(WindowLifecycle)
#include "tst_window_lifecycle.moc"
