// The Windows backend on real Win32 calls: device notifications reaching the
// window, the volume bus check, capture enumeration, the worker's copy onto a
// drive letter and the keep-awake hold. The rest of the machine is simulated.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "platform/host_file_io.h"
#include "platform/platform.h"
#include "platform/win/win_capture.h"
#include "platform/win/win_keep_awake.h"
#include "platform/win/win_notifier.h"
#include "platform/win/win_volume_bus.h"
#include "storage/bus_check.h"
#include "support/box_text.h"
#include "support/job_thread.h"

#include <QtTest>
#include <memory>
#include <windows.h>
#include <dbt.h>

namespace {

const QString kCameraInterface = QStringLiteral(
    "\\\\?\\USB#VID_1234&PID_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\GLOBAL");

// The drive letter scripts/windows-test.sh maps to a temporary folder, with a
// marker file so that no other machine's drive T: is ever written to.
const QString kMappedDrive = QStringLiteral("T:\\");
const QString kDriveMarker = QStringLiteral("T:/tarnholm-test-drive");

// A record as Windows lays it out, in a buffer with room to spare after it
// (filled with 'X', so a read past the record's size shows in the name).
QByteArray interfaceRecord(const QString &name, int size, bool terminated = true)
{
    QByteArray bytes(int(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)) + 2 * name.size() + 64, 'X');
    auto *r = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(bytes.data());
    r->dbcc_size = DWORD(size);
    r->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    r->dbcc_reserved = 0;
    memcpy(r->dbcc_name, name.utf16(), size_t(2 * name.size()));
    if (terminated)
        r->dbcc_name[name.size()] = 0;
    return bytes;
}
int fullSize(const QString &name)
{
    return int(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) + 2 * (name.size() + 1);
}
QByteArray volumeRecord(DWORD unitMask, int size = sizeof(DEV_BROADCAST_VOLUME))
{
    QByteArray bytes(int(sizeof(DEV_BROADCAST_VOLUME)), '\0');
    auto *r = reinterpret_cast<DEV_BROADCAST_VOLUME *>(bytes.data());
    r->dbcv_size = DWORD(size);
    r->dbcv_devicetype = DBT_DEVTYP_VOLUME;
    r->dbcv_unitmask = unitMask;
    r->dbcv_flags = 0;
    return bytes;
}

// The host's file calls, noting each flush's result.
class RecordingFileIo : public platform::HostFileIo {
public:
    QVector<bool> flushes;
    bool flushToDevice(QFile &file) override
    {
        const bool ok = platform::HostFileIo::flushToDevice(file);
        flushes << ok;
        return ok;
    }
};

// The capture devices of the system, counting what was handed out and given back.
class CountingCapture : public platform::WinCaptureDevices {
public:
    int handedOut = 0, released = 0;
    int enumerate(IMoniker **m, IBaseFilter **f, int room) override
    {
        const int n = platform::WinCaptureDevices::enumerate(m, f, room);
        handedOut += 2 * qMax(n, 0);
        return n;
    }
    void release(IMoniker *m) override { ++released, platform::WinCaptureDevices::release(m); }
    void release(IBaseFilter *f) override { ++released, platform::WinCaptureDevices::release(f); }
};

} // namespace

class WinBackend : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    platform::WinNotifier notifier;
    platform::WinVolumeBus volumes;
    RecordingFileIo files;

    void useNative(platform::CaptureDevices *capture = nullptr)
    {
        platform::Platform p = platform::current();
        p.notifier = &notifier;
        p.volumes = &volumes;
        p.files = &files;
        if (capture)
            p.capture = capture;
        platform::install(p);
    }

private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void init()
    {
        sim.reset(new SimFixture);
        useNative();
        files.flushes.clear();
    }
    void cleanup()
    {
        g_upgradeStage = 0;
        g_mainWindow = nullptr;
        sim.reset();
    }

    // Records sent to the window's own handle go through Windows' message
    // dispatch, Qt's native event filter and the decoder.
    void deviceChange_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("camera");   // plugged in (1) or out (-1) just before the message
        QTest::addColumn<QStringList>("lines");     // the trace while the message is handled
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("listed");
        const QString guid = "65E8773D-8F56-11D0-A3B9-00A0C9223196";
        const QStringList inserted{kCameraInterface, guid, "USB Camera Device insert "};
        QTest::newRow("camera arrives") << DBT_DEVICEARRIVAL
            << interfaceRecord(kCameraInterface, fullSize(kCameraInterface)) << 1
            << inserted << "USB Camera Device insert" << 1;
        QTest::newRow("camera removed") << DBT_DEVICEREMOVECOMPLETE
            << interfaceRecord(kCameraInterface, fullSize(kCameraInterface)) << -1
            << QStringList{"Device remove", kCameraInterface, guid, "USB Camera Device Remove!"}
            << "USB Camera Device Remove!" << 0;
        // The name ends where the record does, never in the bytes after it.
        QTest::newRow("name without its NUL") << DBT_DEVICEARRIVAL
            << interfaceRecord(kCameraInterface, fullSize(kCameraInterface) - 2, false) << 1
            << inserted << "USB Camera Device insert" << 1;
        const QString cut = kCameraInterface.left(40);
        QTest::newRow("name cut short by the size") << DBT_DEVICEARRIVAL
            << interfaceRecord(kCameraInterface, fullSize(cut) - 2, false) << 1
            << QStringList{cut, guid} << "" << 0;
        QTest::newRow("size shorter than the header") << DBT_DEVICEARRIVAL
            << interfaceRecord(kCameraInterface, 8) << 1 << QStringList() << "" << 0;
        QTest::newRow("other event") << DBT_DEVICEQUERYREMOVE
            << interfaceRecord(kCameraInterface, fullSize(kCameraInterface)) << 1
            << QStringList() << "" << 0;
        // C: is the wine prefix's (or Windows') own disk: never USB.
        QTest::newRow("volume C: arrives") << DBT_DEVICEARRIVAL << volumeRecord(1u << 2) << 0
            << QStringList{"USB_Arrived and The USBDisk is: C", "This is not a usb mass storage", "", guid}
            << "" << 0;
        QTest::newRow("volume record cut before its flags") << DBT_DEVICEARRIVAL
            << volumeRecord(1u << 2, 14) << 0 << QStringList{"", guid} << "" << 0;
    }
    void deviceChange()
    {
        QFETCH(int, event);
        QFETCH(QByteArray, record);
        QFETCH(int, camera);
        DebugCapture trace;
        const int present = camera < 0 ? sim->world.capture.attach({"Ostrel Camera", true, true, {}, {}}) : -1;
        Tarnholm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(!trace.lines().contains("RegisterDeviceNotification Error"),
                 "RegisterDeviceNotificationW failed for the window");
        QCOMPARE(window.ui.DeviceList->count(), camera < 0 ? 1 : 0);
        if (camera > 0)
            sim->world.capture.attach({"Ostrel Camera", true, true, {}, {}});
        if (camera < 0)
            sim->world.capture.detach(present);
        const int before = trace.lines().size();
        BoxCloser boxes;
        SendMessageW(reinterpret_cast<HWND>(window.winId()), WM_DEVICECHANGE, WPARAM(event),
                     reinterpret_cast<LPARAM>(record.data()));
        const QStringList seen = trace.lines().mid(before);
        QTEST(seen, "lines");
        QTEST(window.ui.EditInfo->toPlainText(), "log");
        QTEST(window.ui.DeviceList->count(), "listed");
        QCOMPARE(boxLines(boxes.boxes), QString());
    }

    // The bus check on real volumes: answered, or refused after its retries.
    void busCheck_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("retries");
        QTest::newRow("C: answers, not USB") << "\\\\.\\C:" << "" << 0;
        QTest::newRow("no drive behind the letter") << "\\\\.\\Q:"
            << "Error: CreateFile error. Error code(2), Path[\\\\.\\Q:] [information, OK, on TarnholmClass]\n"
            << 10;
    }
    void busCheck()
    {
        QFETCH(QString, volume);
        if (volume.endsWith("Q:") && QFileInfo::exists("Q:/"))
            QSKIP("this machine has a drive Q:");
        Tarnholm window;
        BoxCloser boxes;
        QVERIFY(!IsUsbVolume(&window, volume));
        QTEST(boxLines(boxes.boxes), "box");
        QTEST(int(sim->clock.sleeps().size()), "retries");
    }

    // Wine has no video-capture devices; a machine without a camera is the same.
    void noCaptureDevices()
    {
        {
            CountingCapture capture;
            useNative(&capture);
            Tarnholm window;
            QCOMPARE(window.ui.DeviceList->count(), 0);
            window.RefreshDeviceList();
            window.ui.BtnLoadFw->click();
            QCOMPARE(window.ui.EditInfo->toPlainText().trimmed(), QString("Can't find device."));
            window.close();
            QCOMPARE(capture.released, capture.handedOut);
        }
        useNative();
    }

    // The worker's copy through a drive letter, "T:\" + "\" + "fw.bin", to its flush.
    void copyOntoDriveLetter()
    {
        if (!QFileInfo::exists(kDriveMarker))
            QSKIP("no test drive T: mapped to a folder (scripts/windows-test.sh maps one)");
        QFile::remove(kMappedDrive + "fw.bin");
        QTemporaryDir tmp;
        const QString source = tmp.filePath("firmware.bin");
        QByteArray data(100000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + i / 256);
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
        f.close();

        Worker worker;
        QStringList codes;
        std::unique_ptr<JobThread> thread;
        thread.reset(new JobThread([&]() { worker.WorkerLoadFw({source, kMappedDrive}); }));
        connect(&worker, &Worker::WorkerTheardState, &worker, [&](int code) {
            codes << QString::number(code);
            thread->requestInterruption();   // no wait for a camera after the copy
        }, Qt::DirectConnection);
        QEventLoop loop;
        connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
        thread->start();
        loop.exec();
        thread->wait();
        QCOMPARE(codes.first(), QString("1"));
        QCOMPARE(codes.last(), QString("50"));
        QCOMPARE(files.flushes, QVector<bool>{true});
        QFile copied(kMappedDrive + "fw.bin");
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QVERIFY(copied.readAll() == data);
    }

    // The window holds the system awake from the camera's switch until it closes.
    // SetThreadExecutionState answers with the state before the call: each probe
    // shows what the window left behind.
    void windowHoldsAwake()
    {
        platform::WinKeepAwake awake;
        platform::Platform p = platform::current();
        p.awake = &awake;
        platform::install(p);
        sim->world.capture.attach({"Ostrel Camera", true, true, QByteArray(43, '\1'), {}});
        QTemporaryFile firmware;
        QVERIFY(firmware.open() && firmware.write("TARNFW") == 6);
        firmware.close();
        // Wine's process starts with ES_SYSTEM_REQUIRED set, a Windows thread with none.
        SetThreadExecutionState(ES_CONTINUOUS);
        EXECUTION_STATE before, during;
        {
            Tarnholm window;
            before = SetThreadExecutionState(ES_CONTINUOUS);
            window.ui.EditFwFile->setText(QDir::toNativeSeparators(firmware.fileName()));
            window.ui.BtnLoadFw->click();
            QVERIFY(window.ui.EditInfo->toPlainText().startsWith("Wait UMS Install."));
            during = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        }
        const EXECUTION_STATE after = SetThreadExecutionState(ES_CONTINUOUS);
        QCOMPARE(before & ES_SYSTEM_REQUIRED, DWORD(0));
        QCOMPARE(during & ES_SYSTEM_REQUIRED, DWORD(ES_SYSTEM_REQUIRED));
        QCOMPARE(after & ES_SYSTEM_REQUIRED, DWORD(0));
    }
};

QTEST_MAIN(WinBackend)
#include "tst_win_backend.moc"
