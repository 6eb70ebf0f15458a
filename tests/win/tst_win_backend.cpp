// The Windows backend on real Win32 calls: device notifications reaching the window, the
// volume bus check, capture enumeration, the vendor library (a stand-in put where each case
// needs it), the copy onto a drive letter, the keep-awake hold. The rest is simulated.
// DirectShow's video-input category gets cameras of its own: stand-in capture sources (a
// COM server of the tests) registered as Windows registers a camera's source filter, found
// by the system device enumerator and bound through their monikers. The keys go to
// HKEY_CLASSES_ROOT, which under wine (a private prefix) needs no rights; on Windows the
// test needs an administrator. (Wine's enumerator does not see a per-user registration
// under HKCU\Software\Classes.)
#include "app/tarnholm.h"
#include "app/worker.h"
#include "platform/host_file_io.h"
#include "platform/platform.h"
#include "platform/win/win_camera_library.h"
#include "platform/win/win_capture.h"
#include "platform/win/win_keep_awake.h"
#include "platform/win/win_notifier.h"
#include "platform/win/win_usb_port.h"
#include "platform/win/win_volume_bus.h"
#include "support/box_text.h"
#include "support/job_thread.h"
#include "update/update_state.h"
#include "win/filter_standin.h"
#include "win/vendor_standin.h"

#include <QtTest>
#include <memory>
#include <windows.h>
#include <dbt.h>

namespace {

const QString kCamera = QStringLiteral(
    "\\\\?\\USB#VID_1234&PID_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\GLOBAL");
const QString kGuid = QStringLiteral("65E8773D-8F56-11D0-A3B9-00A0C9223196");
const QString kLibrary = QStringLiteral("FicUvcExKorvane.dll");
const QString kVideoInput = QStringLiteral("CLSID\\{860BB310-5D01-11d0-BD3B-00A0C911CE86}\\Instance\\");
// scripts/windows-test.sh maps T: to a folder, marked so that no real drive T: is written to.
const QString kMappedDrive = QStringLiteral("T:\\");

// The camera's record as Windows lays it out, dbcc_size taken to the end of its name
// (and NUL) unless given; then 'X's, so a read past the record shows in the name.
QByteArray interfaceRecord(bool nul = true, int size = 0)
{
    const QString name = nul ? kCamera + QChar(0) : kCamera;
    const int offset = int(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name));
    QByteArray bytes = QByteArray(offset, '\0') + QByteArray(64, 'X');
    bytes.insert(offset, reinterpret_cast<const char *>(name.utf16()), 2 * name.size());
    auto *r = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(bytes.data());
    r->dbcc_size = DWORD(size ? size : offset + 2 * name.size());
    r->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    return bytes;
}
QByteArray volumeRecord(char drive)
{
    const DEV_BROADCAST_VOLUME r{sizeof(r), DBT_DEVTYP_VOLUME, 0, 1u << (drive - 'A'), 0};
    return QByteArray(reinterpret_cast<const char *>(&r), sizeof(r));
}
// Through Windows' message dispatch, Qt's native event filter and the decoder.
void sendDeviceChange(QWidget &window, WPARAM what, QByteArray record)
{
    SendMessageW(reinterpret_cast<HWND>(window.winId()), WM_DEVICECHANGE, what,
                 reinterpret_cast<LPARAM>(record.data()));
}

const wchar_t *w(const QString &s) { return reinterpret_cast<const wchar_t *>(s.utf16()); }
bool setString(const QString &key, const QString &name, const QString &value)
{
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, w(key), name.isEmpty() ? nullptr : w(name), REG_SZ,
                           value.utf16(), DWORD(2 * (value.size() + 1))) == ERROR_SUCCESS;
}
QString classText(int number)
{
    wchar_t text[40];
    StringFromGUID2(standInClass(static_cast<unsigned char>(number)), text, 40);
    return QString::fromWCharArray(text);
}
// A stand-in capture source: the last byte of its class, its name, whether it has a path.
struct Device { int number; QString name; bool hasPath; };
using Devices = QVector<Device>;

// The host's file calls, noting each flush's result.
struct RecordingFileIo : platform::HostFileIo {
    QVector<bool> flushes;
    bool flushToDevice(QFile &f) override { return (flushes << HostFileIo::flushToDevice(f)).last(); }
};

// The system's capture devices, counting the monikers and filters handed out and given back.
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
Q_DECLARE_METATYPE(Device)

class WinBackend : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    platform::WinNotifier notifier;
    platform::WinVolumeBus volumes;
    platform::WinKeepAwake awake;
    RecordingFileIo files;
    CountingCapture capture;
    FilterStandInState *filters = nullptr;
    const QString program = QCoreApplication::applicationDirPath();
    const QString server = QDir::toNativeSeparators(program + "/filter/OstrelFilterStandIn.dll");
    const QString startFolder = QDir::currentPath();
    const QByteArray startPath = qgetenv("PATH");
    // Any readable file that is not empty passes for firmware until it is copied.
    const QString firmware = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    QTemporaryDir elsewhere;
    QString planted;          // a copy of the stand-in library, removed after each case
    QVector<int> registered;  // stand-in capture sources, unregistered after each case
    long heldBefore = 0;      // by an earlier case that failed
    int tooManyBefore = 0;

    int plugIn() { return sim->world.capture.attach({"Ostrel Camera", true, true, {}, {}}); }
    bool plugIn(const Device &d)
    {
        const QString cls = classText(d.number), instance = kVideoInput + cls;
        registered << d.number;
        return setString("CLSID\\" + cls + "\\InprocServer32", {}, server)
            && setString("CLSID\\" + cls + "\\InprocServer32", "ThreadingModel", "Both")
            && setString(instance, "CLSID", cls) && setString(instance, "FriendlyName", d.name)
            && (!d.hasPath || setString(instance, "DevicePath",
                                        QString("\\\\?\\usb#vid_1234&pid_%1#1").arg(d.number)));
    }
    void unplug(int number)
    {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, w(kVideoInput + classText(number)));
        RegDeleteTreeW(HKEY_CLASSES_ROOT, w("CLSID\\" + classText(number)));
        registered.removeAll(number);
    }
    // The system's capture devices and/or the vendor library in place of the simulated.
    void useSystem(bool devices, platform::WinCameraLibrary *library = nullptr)
    {
        platform::Platform p = platform::current();
        if (devices)
            p.capture = &capture;
        p.camera = library ? library : p.camera;
        platform::install(p);
    }
    // The stand-in vendor library copied into the folder; cleanup() removes it.
    bool plant(const QString &variant, const QString &folder)
    {
        planted = folder + '/' + kLibrary;
        return QFile::copy(program + '/' + variant + '/' + kLibrary, planted);
    }
    // What the loaded stand-in vendor library saw; null while none is loaded.
    static StandInState *vendor()
    {
        const HMODULE loaded = GetModuleHandleW(w(kLibrary));
        const FARPROC recorder = loaded ? GetProcAddress(loaded, "StandInRecorder") : nullptr;
        return recorder ? reinterpret_cast<StandInStateFn>(reinterpret_cast<void (*)()>(recorder))()
                        : nullptr;
    }
    // The stand-in device whose object sits at this address, -1 for none.
    int deviceAt(qlonglong address) const
    {
        for (int i = 0; i < filters->created; ++i)
            if (qlonglong(quintptr(filters->object[i])) == address)
                return filters->device[i];
        return -1;
    }
    QString items(const Tarnholm &window) const
    {
        QStringList out;
        for (int i = 0; i < window.ui.DeviceList->count(); ++i)
            out << QString("[%1] of %2").arg(window.ui.DeviceList->itemText(i))
                       .arg(deviceAt(window.ui.DeviceList->itemData(i).toLongLong()));
        return out.join(", ");
    }
    QVector<int> boundSince(int first) const
    {
        QVector<int> devices;
        for (int i = first; i < filters->created; ++i)
            devices << filters->device[i];
        return devices;
    }

private slots:
    void initTestCase()
    {
        const HMODULE module = LoadLibraryW(w(server));
        QVERIFY2(module, "the stand-in capture source did not load");
        filters = reinterpret_cast<FilterStandInStateFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "FilterStandInRecorder")))();
    }
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
        capture.handedOut = capture.released = 0;
        heldBefore = filters->outstanding();
        tooManyBefore = filters->releasesTooMany;
    }
    void cleanup()
    {
        g_upgradeStage = UpgradeStage::None;
        g_mainWindow = nullptr;
        for (int number : QVector<int>(registered))
            unplug(number);
        sim.reset();
        QDir::setCurrent(startFolder);
        qputenv("PATH", startPath);
        if (!planted.isEmpty())
            QVERIFY2(QFile::remove(std::exchange(planted, QString())), "a stand-in stays behind");
        // Whatever a case did, the window gave back every reference it took, once.
        QCOMPARE(filters->outstanding(), heldBefore);
        QCOMPARE(filters->releasesTooMany, tooManyBefore);
        QCOMPARE(capture.released, capture.handedOut);
    }

    // Records sent to the window's own handle. C: is the wine prefix's (or Windows')
    // own disk, never USB; behind Q: lies no drive, and the bus check gives up.
    void deviceChange_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("camera");   // 1: in before an arrival, -1: out before a removal
        QTest::addColumn<QStringList>("seen");   // the trace while it is handled, then the window
        const QStringList inserted{kCamera, kGuid, "USB Camera Device insert ",
                                   "log [USB Camera Device insert]", "listed 1"};
        const auto notUsb = [](const QString &drive) {
            return QStringList{"USB_Arrived and The USBDisk is: " + drive,
                               "This is not a usb mass storage", "", kGuid, "log []", "listed 0"};
        };
        QTest::newRow("camera arrives") << interfaceRecord() << 1 << inserted;
        QTest::newRow("camera removed") << interfaceRecord() << -1
            << QStringList{"Device remove", kCamera, kGuid, "USB Camera Device Remove!",
                           "log [USB Camera Device Remove!]", "listed 0"};
        QTest::newRow("name without its NUL") << interfaceRecord(false) << 1 << inserted;
        QTest::newRow("size shorter than the header") << interfaceRecord(true, 8) << 1
            << QStringList{"log []", "listed 0"};
        QTest::newRow("volume C: arrives") << volumeRecord('C') << 0 << notUsb("C");
        QTest::newRow("volume Q: arrives") << volumeRecord('Q') << 0 << notUsb("Q") + QStringList{
            "10 waits", "Error: CreateFile error. Error code(2), Path[\\\\.\\Q:] "
                        "[information, OK, on TarnholmClass]"};
    }
    void deviceChange()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, camera);
        if (QByteArray(QTest::currentDataTag()).contains("Q:") && QFileInfo::exists("Q:/"))
            QSKIP("this machine has a drive Q:");
        DebugCapture trace;
        const int present = camera < 0 ? plugIn() : -1;
        Tarnholm window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(!trace.lines().contains("RegisterDeviceNotification Error"),
                 "RegisterDeviceNotificationW failed for the window");
        QCOMPARE(window.ui.DeviceList->count(), camera < 0 ? 1 : 0);
        if (camera > 0)
            plugIn();
        if (camera < 0)
            sim->world.capture.detach(present);
        const int before = trace.lines().size();
        BoxCloser boxes;
        sendDeviceChange(window, camera < 0 ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL, record);
        QStringList seen = trace.lines().mid(before);
        seen << "log [" + window.ui.EditInfo->toPlainText() + "]"
             << QString("listed %1").arg(window.ui.DeviceList->count());
        if (!sim->clock.sleeps().isEmpty())
            seen << QString("%1 waits").arg(sim->clock.sleeps().size());
        QTEST(seen + boxLines(boxes.boxes).split('\n', Qt::SkipEmptyParts), "seen");
    }

    // Every stand-in source with a path is bound (and held) in category order; only those
    // whose name contains "Ostrel Camera" are listed, each with its own filter as item data.
    void listing_data()
    {
        QTest::addColumn<Devices>("devices");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QVector<int>>("bound");
        QTest::newRow("webcam, then camera")
            << Devices{{1, "USB2.0 HD UVC WebCam", true}, {2, "Ostrel Camera", true}}
            << "[Ostrel Camera    ] of 2" << QVector<int>{1, 2};
        QTest::newRow("camera without a device path")
            << Devices{{1, "Ostrel Camera", false}, {2, "Ostrel Camera", true}}
            << "[Ostrel Camera    ] of 2" << QVector<int>{2};
        QTest::newRow("name in other words and cases")
            << Devices{{1, "Front Ostrel Camera 2", true}, {2, "OSTREL CAMERA", true},
                       {3, "Ostrel camera", true}}
            << "[Front Ostrel Camera 2    ] of 1" << QVector<int>{1, 2, 3};
        QTest::newRow("only a webcam") << Devices{{1, "Integrated Webcam", true}} << ""
                                       << QVector<int>{1};
        // Wine has no video-capture devices of its own; a machine without a camera is the same.
        QTest::newRow("no capture device at all") << Devices{} << "" << QVector<int>{};
    }
    void listing()
    {
        QFETCH(Devices, devices);
        QFETCH(QString, listed);
        QFETCH(QVector<int>, bound);
        useSystem(true);
        for (const Device &d : devices)
            QVERIFY(plugIn(d));
        const int first = filters->created;
        Tarnholm window;
        QCOMPARE(items(window), listed);
        QCOMPARE(boundSince(first), bound);
        // One reference each, the window's.
        QCOMPARE(filters->outstanding() - heldBefore, long(bound.size()));
        QCOMPARE(window.ui.DeviceList->currentIndex(), listed.isEmpty() ? -1 : 0);
        if (listed.isEmpty()) {   // nothing to update, after a refresh too
            window.RefreshDeviceList();
            window.ui.BtnLoadFw->click();
            QCOMPARE(window.ui.EditInfo->toPlainText().trimmed(), QString("Can't find device."));
        }
    }

    // A capture-device record refreshes the list: the old monikers and filters are
    // released once each, the category is enumerated again. Closing releases the rest.
    void refreshOnDeviceChange()
    {
        useSystem(true);
        QVERIFY(plugIn({1, "USB2.0 HD UVC WebCam", true}) && plugIn({2, "Ostrel Camera", true}));
        std::unique_ptr<Tarnholm> window(new Tarnholm);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const int first = filters->created;
        sendDeviceChange(*window, DBT_DEVICEARRIVAL, interfaceRecord());
        QCOMPARE(items(*window), QString("[Ostrel Camera    ] of 2"));
        QCOMPARE(boundSince(first), QVector<int>({1, 2}));
        QCOMPARE(QVector<long>({filters->references[first - 2], filters->references[first - 1],
                                filters->references[first], filters->references[first + 1]}),
                 QVector<long>({0, 0, 1, 1}));

        unplug(2);
        sendDeviceChange(*window, DBT_DEVICEREMOVECOMPLETE, interfaceRecord());
        QCOMPARE(items(*window), QString());
        QCOMPARE(boundSince(first + 2), QVector<int>({1}));
        QCOMPARE(filters->outstanding() - heldBefore, 1L);
        QCOMPARE(filters->releasesTooMany, tooManyBefore);
        window.reset();   // cleanup() checks that closing gave back the webcam's too
    }

    // USB ports through SetupAPI and CfgMgr32. An interface no device has and a letter
    // without a drive have none on any system. Wine has no USB devices at all, so there
    // its C: has none either and every camera's drive falls back to the first USB
    // volume; on Windows C: names a port only when the machine started from USB.
    void usbPorts()
    {
        const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        const DWORD drives = GetLogicalDrives();
        QChar free = QLatin1Char('Z');
        while (free > QLatin1Char('D') && (drives & (1u << (free.unicode() - 'A'))))
            free = QChar(free.unicode() - 1);
        QStringList ports{platform::usbPortOfInterface(kCamera), volumes.usbPort(QString("\\\\.\\%1:").arg(free))};
        if (wine)
            ports << volumes.usbPort(QStringLiteral("\\\\.\\C:"));
        QCOMPARE(ports.join('|'), QString(wine ? "||" : "|"));
    }

    // Where the vendor library lies decides whether the window reaches it.
    void vendorLibrary_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QString>("info");   // the log pane after the window starts
        const QString failed = QStringLiteral("Initialize Device Error.");
        QTest::newRow("beside the program") << "program" << "standin" << "";
        QTest::newRow("nowhere") << "" << "standin" << failed;
        QTest::newRow("only in the working folder") << "working" << "standin" << failed;
        QTest::newRow("only in a PATH folder") << "path" << "standin" << failed;
        QTest::newRow("one export missing") << "program" << "standin-partial" << failed;
    }
    void vendorLibrary()
    {
        QFETCH(QString, where);
        QFETCH(QString, variant);
        QFETCH(QString, info);
        platform::WinCameraLibrary library;   // unloads the library before cleanup() removes it
        useSystem(false, &library);
        const QString folder = where == "program" ? program : elsewhere.path();
        if (!where.isEmpty())
            QVERIFY(plant(variant, folder));
        if (where == "working")
            QVERIFY(QDir::setCurrent(folder));
        if (where == "path")
            qputenv("PATH", QDir::toNativeSeparators(folder).toLocal8Bit() + ';' + startPath);
        const int camera = plugIn();

        Tarnholm window;   // reads the listed camera's version at once
        QCOMPARE(window.ui.EditInfo->toPlainText(), info);
        QCOMPARE(window.ui.DeviceInfo->toPlainText().contains("Version : 2.3.4"), info.isEmpty());
        // Held by the tool alone, and only while it uses it.
        StandInState *state = vendor();
        QCOMPARE(state != nullptr, info.isEmpty());
        if (!state)
            return;
        // The update request: same filter, the context of its own init.
        state->contextToGive = 0xBEEF;
        state->updateFwUmsStatus = 31;
        window.ui.EditFwFile->setText(firmware);
        window.ui.BtnLoadFw->click();
        const QString filter = QString::number(quintptr(sim->world.capture.filterOf(camera)), 16);
        QCOMPARE(QString(state->calls).replace(filter, "filter"),
                 "init filter; version filter c0ffee 43; init filter; update filter beef; ");
        QCOMPARE(window.ui.EditInfo->toPlainText(),
                 QString("Switch USB Camera to USB Mass Storage Device Error."));
    }

    // The vendor library gets the very filter the moniker bound: the object of the
    // listed camera's class, alive enough to answer GetClassID.
    void versionGetsBoundFilter()
    {
        platform::WinCameraLibrary library;
        useSystem(true, &library);
        QVERIFY(plant("standin", program));
        QVERIFY(plugIn({1, "USB2.0 HD UVC WebCam", true}) && plugIn({2, "Ostrel Camera", true}));
        Tarnholm window;
        const qlonglong listed = window.ui.DeviceList->itemData(0).toLongLong();
        QCOMPARE(deviceAt(listed), 2);
        StandInState *state = vendor();
        QVERIFY(state);
        state->askClass = true;
        QTest::mouseClick(window.ui.pBtnDeviceInfo, Qt::LeftButton);
        state->askClass = false;
        QCOMPARE(QString(state->calls).replace(QString::number(listed, 16), "camera"),
                 QString("init camera; version camera c0ffee 43; "
                         "init camera; version camera c0ffee 43; class 0573a1e0..02; "));
        QVERIFY(window.ui.DeviceInfo->toPlainText().contains("Version : 2.3.4"));
    }

    // The worker's copy through a drive letter, "T:\" + "\" + "fw.bin", to its flush.
    void copyOntoDriveLetter()
    {
        if (!QFileInfo::exists("T:/tarnholm-test-drive"))
            QSKIP("no test drive T: mapped to a folder (scripts/windows-test.sh maps one)");
        QFile::remove(kMappedDrive + "fw.bin");
        QByteArray data(100000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + i / 256);
        QTemporaryFile source;
        QVERIFY(source.open() && source.write(data) == data.size());
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
        const auto held = [](DWORD s) { return SetThreadExecutionState(s) & ES_SYSTEM_REQUIRED; };
        // Wine's process starts with ES_SYSTEM_REQUIRED set, a Windows thread with none.
        held(ES_CONTINUOUS);
        std::unique_ptr<Tarnholm> window(new Tarnholm);
        const DWORD before = held(ES_CONTINUOUS);
        window->ui.EditFwFile->setText(firmware);
        window->ui.BtnLoadFw->click();
        QVERIFY(window->ui.EditInfo->toPlainText().startsWith("Wait UMS Install."));
        const DWORD during = held(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        window.reset();
        QCOMPARE(QVector<DWORD>({before, during, held(ES_CONTINUOUS)}),
                 QVector<DWORD>({0, ES_SYSTEM_REQUIRED, 0}));
    }
};

QTEST_MAIN(WinBackend)
#include "tst_win_backend.moc"
