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
#include "support/box_text.h"
#include "support/job_thread.h"

#include <QtTest>
#include <memory>
#include <windows.h>
#include <dbt.h>

namespace {

const QString kCamera = QStringLiteral(
    "\\\\?\\USB#VID_1234&PID_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\GLOBAL");
const QString kGuid = QStringLiteral("65E8773D-8F56-11D0-A3B9-00A0C9223196");
// The drive letter scripts/windows-test.sh maps to a temporary folder, with a
// marker file so that no other machine's drive T: is ever written to.
const QString kMappedDrive = QStringLiteral("T:\\");

// The camera's record as Windows lays it out, its NUL only if `size` holds it; the
// buffer goes on in 'X's, so a read past the record shows in the name.
QByteArray interfaceRecord(int size)
{
    QByteArray bytes(int(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)) + 2 * kCamera.size() + 64, 'X');
    auto *r = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(bytes.data());
    *r = {DWORD(size), DBT_DEVTYP_DEVICEINTERFACE, 0, {}, {}};
    memcpy(r->dbcc_name, kCamera.utf16(), size_t(2 * kCamera.size()));
    if (size >= int(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) + 2 * (kCamera.size() + 1))
        r->dbcc_name[kCamera.size()] = 0;
    return bytes;
}
QByteArray volumeRecord(char drive)
{
    const DEV_BROADCAST_VOLUME r{sizeof(r), DBT_DEVTYP_VOLUME, 0, 1u << (drive - 'A'), 0};
    return QByteArray(reinterpret_cast<const char *>(&r), sizeof(r));
}

// The host's file calls, noting each flush's result.
struct RecordingFileIo : platform::HostFileIo {
    QVector<bool> flushes;
    bool flushToDevice(QFile &file) override
    {
        flushes << platform::HostFileIo::flushToDevice(file);
        return flushes.last();
    }
};

// The capture devices of the system, counting what was handed out and given back.
struct CountingCapture : platform::WinCaptureDevices {
    int handedOut = 0, released = 0;
    int enumerate(IMoniker **m, IBaseFilter **f, int room) override
    {
        const int n = WinCaptureDevices::enumerate(m, f, room);
        handedOut += 2 * qMax(n, 0);
        return n;
    }
    void release(IMoniker *m) override { ++released, WinCaptureDevices::release(m); }
    void release(IBaseFilter *f) override { ++released, WinCaptureDevices::release(f); }
};

} // namespace

class WinBackend : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    platform::WinNotifier notifier;
    platform::WinVolumeBus volumes;
    platform::WinKeepAwake awake;
    RecordingFileIo files;
    CountingCapture capture;

private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void init()
    {
        sim.reset(new SimFixture);
        platform::Platform p = platform::current();
        p.notifier = &notifier;
        p.volumes = &volumes;
        p.awake = &awake;
        p.files = &files;
        platform::install(p);
        files.flushes.clear();
    }
    void cleanup()
    {
        g_upgradeStage = 0;
        g_mainWindow = nullptr;
        sim.reset();
    }

    // Records sent to the window's own handle go through Windows' message dispatch,
    // Qt's native event filter and the decoder. C: is the wine prefix's (or Windows')
    // own disk, never USB; behind Q: lies no drive, and the bus check gives up.
    void deviceChange_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("camera");   // plugged in (1) or out (-1) just before the message
        QTest::addColumn<QStringList>("lines");   // the trace while the message is handled
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("waits");
        const int full = int(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) + 2 * (kCamera.size() + 1);
        const QStringList inserted{kCamera, kGuid, "USB Camera Device insert "};
        const QString in = "USB Camera Device insert", out = "USB Camera Device Remove!";
        QTest::newRow("camera arrives") << DBT_DEVICEARRIVAL << interfaceRecord(full) << 1
            << inserted << in << 1 << "" << 0;
        QTest::newRow("camera removed") << DBT_DEVICEREMOVECOMPLETE << interfaceRecord(full) << -1
            << QStringList{"Device remove", kCamera, kGuid, out} << out << 0 << "" << 0;
        QTest::newRow("name without its NUL") << DBT_DEVICEARRIVAL << interfaceRecord(full - 2) << 1
            << inserted << in << 1 << "" << 0;
        QTest::newRow("size shorter than the header") << DBT_DEVICEARRIVAL << interfaceRecord(8) << 1
            << QStringList() << "" << 0 << "" << 0;
        for (const char *drive : {"C", "Q"})
            QTest::addRow("volume %s: arrives", drive) << DBT_DEVICEARRIVAL << volumeRecord(*drive) << 0
                << QStringList{QString("USB_Arrived and The USBDisk is: ") + drive,
                               "This is not a usb mass storage", "", kGuid} << "" << 0
                << (*drive == 'C' ? "" : "Error: CreateFile error. Error code(2), Path[\\\\.\\Q:] "
                                         "[information, OK, on TarnholmClass]\n") << (*drive == 'C' ? 0 : 10);
    }
    void deviceChange()
    {
        QFETCH(int, event);
        QFETCH(QByteArray, record);
        QFETCH(int, camera);
        if (QByteArray(QTest::currentDataTag()).contains("Q:") && QFileInfo::exists("Q:/"))
            QSKIP("this machine has a drive Q:");
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
        QTEST(QStringList(trace.lines().mid(before)), "lines");
        QTEST(window.ui.EditInfo->toPlainText(), "log");
        QTEST(window.ui.DeviceList->count(), "listed");
        QTEST(boxLines(boxes.boxes), "box");
        QTEST(int(sim->clock.sleeps().size()), "waits");
    }

    // Wine has no video-capture devices; a machine without a camera is the same.
    void noCaptureDevices()
    {
        platform::Platform p = platform::current();
        p.capture = &capture;
        platform::install(p);
        Tarnholm window;
        QCOMPARE(window.ui.DeviceList->count(), 0);
        window.RefreshDeviceList();
        window.ui.BtnLoadFw->click();
        QCOMPARE(window.ui.EditInfo->toPlainText().trimmed(), QString("Can't find device."));
        window.close();
        QCOMPARE(capture.released, capture.handedOut);
    }

    // The worker's copy through a drive letter, "T:\" + "\" + "fw.bin", to its flush.
    void copyOntoDriveLetter()
    {
        if (!QFileInfo::exists("T:/tarnholm-test-drive"))
            QSKIP("no test drive T: mapped to a folder (scripts/windows-test.sh maps one)");
        QFile::remove(kMappedDrive + "fw.bin");
        QTemporaryDir tmp;
        QByteArray data(100000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + i / 256);
        QFile source(tmp.filePath("firmware.bin"));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data) == data.size());
        source.close();
        Worker worker;
        QStringList codes;
        JobThread thread([&]() { worker.WorkerLoadFw({source.fileName(), kMappedDrive}); });
        connect(&worker, &Worker::WorkerTheardState, &worker, [&](int code) {
            codes << QString::number(code);
            thread.requestInterruption();   // no wait for a camera after the copy
        }, Qt::DirectConnection);
        thread.start();
        thread.wait();
        QCOMPARE(codes.first() + ".." + codes.last(), QString("1..50"));
        QCOMPARE(files.flushes, QVector<bool>{true});
        QFile copied(kMappedDrive + "fw.bin");
        QVERIFY(copied.open(QIODevice::ReadOnly) && copied.readAll() == data);
    }

    // The window holds the system awake from the camera's switch until it closes.
    // SetThreadExecutionState answers with the state before the call: each probe
    // shows what the window left behind.
    void windowHoldsAwake()
    {
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
        const EXECUTION_STATE after = SetThreadExecutionState(ES_CONTINUOUS) & ES_SYSTEM_REQUIRED;
        QCOMPARE(QVector<DWORD>({before & ES_SYSTEM_REQUIRED, during & ES_SYSTEM_REQUIRED, after}),
                 QVector<DWORD>({0, ES_SYSTEM_REQUIRED, 0}));
    }
};

QTEST_MAIN(WinBackend)
#include "tst_win_backend.moc"
