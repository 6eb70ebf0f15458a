#include "udev_testbed.h"

#include "platform/linux/linux_camera_library.h"
#include "platform/linux/linux_capture.h"

#include <QtTest>

#include <unistd.h>

using platform::LinuxCameraLibrary;

namespace {

const QString StandinFull = QStringLiteral(STANDIN_DIR "/full");
const QString StandinPartial = QStringLiteral(STANDIN_DIR "/partial");

// The camera's filter as the window gets it, for /dev/video5.
struct OneCamera {
    OneCamera()
    {
        bed.addVideo(5, "Ostrel Camera", true);
        if (devices.enumerate(&moniker, &filter, 1) != 1)
            filter = nullptr;
    }
    ~OneCamera()
    {
        devices.release(moniker);
        devices.release(filter);
    }
    UdevTestbed bed;
    platform::LinuxCaptureDevices devices;
    IMoniker *moniker = nullptr;
    IBaseFilter *filter = nullptr;
};

QString libraryIn(const QString &folder)
{
    return QDir(folder).filePath(QString::fromLatin1(LinuxCameraLibrary::fileName()));
}

} // namespace

class LinuxCameraLibraryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!UdevTestbed::active())
            QSKIP("needs umockdev-wrapper (run through ctest)");
    }

    void statuses_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("withCamera");
        QTest::addColumn<unsigned long>("contextShift");
        QTest::addColumn<long>("init");
        QTest::addColumn<long>("version");
        QTest::addColumn<long>("update");
        const QString empty = QDir::tempPath() + QStringLiteral("/tarnholm-no-library");
        QTest::newRow("camera answers") << StandinFull << true << 0ul << 0l << 0l << 0l;
        QTest::newRow("context passed on unchanged") << StandinFull << true << 1ul << 0l << 32l << 32l;
        QTest::newRow("no camera behind the filter") << StandinFull << false << 0ul
            << LinuxCameraLibrary::NoDevice << LinuxCameraLibrary::NoDevice << LinuxCameraLibrary::NoDevice;
        QTest::newRow("library lacks a function") << StandinPartial << true << 0ul
            << LinuxCameraLibrary::MissingFunction << LinuxCameraLibrary::MissingFunction
            << LinuxCameraLibrary::MissingFunction;
        QTest::newRow("no library") << empty << true << 0ul << LinuxCameraLibrary::NotFound
            << LinuxCameraLibrary::NotFound << LinuxCameraLibrary::NotFound;
    }
    void statuses()
    {
        QFETCH(QString, folder);
        QFETCH(bool, withCamera);
        QFETCH(unsigned long, contextShift);
        OneCamera camera;
        QVERIFY(camera.filter);
        IBaseFilter *filter = withCamera ? camera.filter : nullptr;
        LinuxCameraLibrary library(folder);

        unsigned long context = 0;
        QTEST(library.deviceInit(filter, &context), "init");
        context += contextShift;
        unsigned char block[43] = {};
        int length = 43;
        QTEST(library.versionGet(filter, context, block, &length), "version");
        QTEST(library.updateFwUms(filter, context), "update");
    }

    // The device node reaches the library as its first argument.
    void versionBlockNamesDeviceNode()
    {
        OneCamera camera;
        LinuxCameraLibrary library(StandinFull);
        unsigned long context = 0;
        QCOMPARE(library.deviceInit(camera.filter, &context), 0l);
        unsigned char block[43] = {};
        int length = 43;
        QCOMPARE(library.versionGet(camera.filter, context, block, &length), 0l);
        QCOMPARE(length, 43);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(block + 7)), QByteArray("/dev/video5"));
    }

    void libraryInstalledLaterIsFound()
    {
        OneCamera camera;
        QTemporaryDir folder;
        LinuxCameraLibrary library(folder.path());
        unsigned long context = 0;
        QCOMPARE(library.deviceInit(camera.filter, &context), LinuxCameraLibrary::NotFound);
        QVERIFY(QFile::copy(libraryIn(StandinFull), libraryIn(folder.path())));
        QCOMPARE(library.deviceInit(camera.filter, &context), 0l);
    }

    void copyInWorkingFolderIsNotLoaded()
    {
        LinuxCameraLibrary library;
        for (const QString &folder : library.folders()) {
            if (QFileInfo::exists(libraryIn(folder)))
                QSKIP(qPrintable(QStringLiteral("a real library is installed in ") + folder));
        }
        OneCamera camera;
        QTemporaryDir work;
        QVERIFY(QFile::copy(libraryIn(StandinFull), libraryIn(work.path())));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        unsigned long context = 0;
        const long status = library.deviceInit(camera.filter, &context);
        QDir::setCurrent(before);
        QCOMPARE(status, LinuxCameraLibrary::NotFound);
    }

    void copyBesideProgramIsLoaded()
    {
        const QString mine = libraryIn(QCoreApplication::applicationDirPath());
        if (QFileInfo::exists(mine))
            QSKIP("a library already lies beside the test program");
        QVERIFY(QFile::copy(libraryIn(StandinFull), mine));
        auto cleanup = qScopeGuard([&] { QFile::remove(mine); });
        OneCamera camera;
        LinuxCameraLibrary library;
        unsigned long context = 0;
        QCOMPARE(library.deviceInit(camera.filter, &context), 0l);
    }
};

QTEST_MAIN(LinuxCameraLibraryTest)
#include "tst_linux_camera_library.moc"
