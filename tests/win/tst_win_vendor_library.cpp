// The vendor library as the Windows program loads and calls it, with a
// stand-in FicUvcExKorvane.dll put where each case needs it.
#include "app/tarnholm.h"
#include "platform/platform.h"
#include "platform/win/win_camera_library.h"
#include "support/sim_fixture.h"
#include "win/vendor_standin.h"

#include <QtTest>
#include <memory>
#include <windows.h>

namespace {
const QString kLibrary = QStringLiteral("FicUvcExKorvane.dll");

QString standInFolder(const QString &variant)
{
    return QCoreApplication::applicationDirPath() + '/' + variant;
}
} // namespace

class VendorLibrary : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<platform::WinCameraLibrary> library;
    std::unique_ptr<QTemporaryDir> elsewhere;
    QStringList planted;          // copies of the stand-in to remove afterwards
    QString startFolder;
    QByteArray startPath;
    HMODULE held = nullptr;       // the test's own reference, to read the recorder
    int camera = -1;

    void plant(const QString &variant, const QString &folder)
    {
        const QString to = folder + '/' + kLibrary;
        QVERIFY2(QFile::copy(standInFolder(variant) + '/' + kLibrary, to), qPrintable(to));
        planted << to;
    }

private slots:
    void initTestCase()
    {
        startFolder = QDir::currentPath();
        startPath = qgetenv("PATH");
        QVERIFY2(!QFile::exists(QCoreApplication::applicationDirPath() + '/' + kLibrary),
                 "a vendor library lies beside the test program already");
    }
    void init()
    {
        sim.reset(new SimFixture);
        camera = sim->world.capture.attach({QStringLiteral("Ostrel Camera"), true, true, {}, {}});
        library.reset(new platform::WinCameraLibrary);
        platform::Platform p = platform::current();
        p.camera = library.get();
        platform::install(p);
        elsewhere.reset(new QTemporaryDir);
    }
    void cleanup()
    {
        library.reset();   // unloads the library, so its file can go
        if (held)
            FreeLibrary(std::exchange(held, nullptr));
        QDir::setCurrent(startFolder);
        qputenv("PATH", startPath);
        for (const QString &file : qAsConst(planted))
            QVERIFY2(QFile::remove(file), qPrintable(file));
        planted.clear();
        elsewhere.reset();
        sim.reset();
    }

    // Where the library lies decides whether the window reaches it.
    void whereItLies_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("info");   // the log pane after the window starts
        QTest::newRow("beside the program") << "program" << "standin" << true << "";
        const QString failed = QStringLiteral("Initialize Device Error.");
        QTest::newRow("nowhere") << "" << "standin" << false << failed;
        QTest::newRow("only in the working folder") << "working" << "standin" << false << failed;
        QTest::newRow("only in a PATH folder") << "path" << "standin" << false << failed;
        QTest::newRow("beside the program, one export missing")
            << "program" << "standin-partial" << false << failed;
    }
    void whereItLies()
    {
        QFETCH(QString, where);
        QFETCH(QString, variant);
        QFETCH(bool, loaded);
        if (where == "program")
            plant(variant, QCoreApplication::applicationDirPath());
        if (where == "working") {
            plant(variant, elsewhere->path());
            QVERIFY(QDir::setCurrent(elsewhere->path()));
        }
        if (where == "path") {
            plant(variant, elsewhere->path());
            qputenv("PATH", QDir::toNativeSeparators(elsewhere->path()).toLocal8Bit() + ';' + startPath);
        }
        StandInState *state = nullptr;
        if (where == "program") {
            // Held by full path beforehand, so the calls can be read even when the tool
            // lets the library go again.
            const QString path = QDir::toNativeSeparators(planted.first());
            held = LoadLibraryW(reinterpret_cast<LPCWSTR>(path.utf16()));
            QVERIFY(held);
            auto recorder = reinterpret_cast<StandInStateFn>(
                reinterpret_cast<void (*)()>(GetProcAddress(held, "StandInRecorder")));
            QVERIFY(recorder);
            state = recorder();
            state->contextToGive = 0xC0FFEE;
        }

        Tarnholm window;   // reads the listed camera's version at once
        QTEST(window.ui.EditInfo->toPlainText(), "info");
        QCOMPARE(window.ui.DeviceInfo->toPlainText().contains("Version : 2.3.4"), loaded);
        // Loaded by the tool itself: a handle without the test's own one.
        if (!held)
            QVERIFY(!GetModuleHandleW(L"FicUvcExKorvane.dll"));
        if (!state)
            return;
        IBaseFilter *filter = sim->world.capture.filterOf(camera);
        if (!loaded) {   // refused before any call
            QCOMPARE(state->deviceInitCalls, 0);
            return;
        }
        QCOMPARE(state->deviceInitCalls, 1);
        QCOMPARE(state->deviceInitFilter, filter);
        QCOMPARE(state->versionGetCalls, 1);
        QCOMPARE(state->versionGetFilter, filter);
        QCOMPARE(state->versionGetContext, 0xC0FFEEul);
        QCOMPARE(state->versionGetLengthIn, 43);

        // The update request: same filter, the context of its own init.
        QTemporaryFile firmware;
        QVERIFY(firmware.open() && firmware.write("TARNFW") == 6);
        firmware.close();
        state->contextToGive = 0xBEEF;
        state->updateFwUmsStatus = 31;
        window.ui.EditFwFile->setText(QDir::toNativeSeparators(firmware.fileName()));
        window.ui.BtnLoadFw->click();
        QCOMPARE(state->updateFwUmsCalls, 1);
        QCOMPARE(state->updateFwUmsFilter, filter);
        QCOMPARE(state->updateFwUmsContext, 0xBEEFul);
        QCOMPARE(window.ui.EditInfo->toPlainText(),
                 QString("Switch USB Camera to USB Mass Storage Device Error."));
    }
};

QTEST_MAIN(VendorLibrary)
#include "tst_win_vendor_library.moc"
