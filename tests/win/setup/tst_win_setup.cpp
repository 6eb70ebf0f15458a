// The setup program as an administrator runs it silently: what it leaves on the machine
// (files, the Start-menu shortcut, the Add/Remove Programs entry), the installed program
// started as its shortcut starts it, the silent uninstall, and an upgrade. Run by
// scripts/windows-package.sh after it has made the setup programs.
#include <QtTest>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

const QString kProduct = QStringLiteral("Ostrel Quorvia Camera Update Tool");
const QString kVersion = QStringLiteral(PROJECT_VERSION_TEXT);
const QString kUninstall = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
const QString kEntry = kUninstall + "\\Tarnholm";
const QString kVendorDll = QStringLiteral("FicUvcExKorvane.dll");
const QStringList kInstalled{"README.txt", "Uninstall.exe", "app.ico", "tarnholm.exe"};   // sorted

const wchar_t *w(const QString &s) { return reinterpret_cast<const wchar_t *>(s.utf16()); }

QString knownFolder(REFKNOWNFOLDERID id)
{
    wchar_t *path = nullptr;
    QString out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        out = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    return out;
}

QString regString(const QString &key, const QString &name)
{
    wchar_t value[1024];
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, w(key), w(name), RRF_RT_REG_SZ, nullptr, value, &size))
        return QStringLiteral("(none)");
    return QString::fromWCharArray(value);
}

// Add/Remove Programs entries of the tool, by their display name.
int entries()
{
    HKEY root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(kUninstall), 0, KEY_READ, &root))
        return -1;
    int found = 0;
    wchar_t name[256];
    for (DWORD i = 0, size = 256; RegEnumKeyExW(root, i, name, &size, nullptr, nullptr, nullptr,
                                                nullptr) == ERROR_SUCCESS; ++i, size = 256)
        found += regString(kUninstall + "\\" + QString::fromWCharArray(name), "DisplayName")
                 == kProduct;
    RegCloseKey(root);
    return found;
}

// Case-sensitive order, as kInstalled is sorted.
QStringList files(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs a command line as typed: the program, quoted if it has spaces, then the
// arguments exactly as given (the setup's /D= takes the rest of the line).
int run(const QString &commandLine)
{
    const bool quoted = commandLine.startsWith('"');
    const int end = quoted ? commandLine.indexOf('"', 1) : commandLine.indexOf(' ');
    QProcess p;
    p.setProgram(commandLine.mid(quoted ? 1 : 0, end < 0 ? -1 : end - (quoted ? 1 : 0)));
    p.setNativeArguments(end < 0 ? QString() : commandLine.mid(end + 1).trimmed());
    p.start();
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
int runSetup(const QString &setup, const QString &folder)
{
    // /D= comes last and unquoted, spaces and all.
    return run(QDir::toNativeSeparators(setup) + " /S" + (folder.isEmpty() ? "" : " /D=" + folder));
}

// A shortcut's target and working folder, as the shell reads them.
QStringList readShortcut(const QString &path)
{
    IShellLinkW *link = nullptr;
    IPersistFile *file = nullptr;
    wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void **>(&link)))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))
        && SUCCEEDED(file->Load(w(path), STGM_READ))) {
        link->GetPath(target, MAX_PATH, nullptr, 0);
        link->GetWorkingDirectory(folder, MAX_PATH);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    return {QString::fromWCharArray(target), QString::fromWCharArray(folder)};
}

} // namespace

class WinSetup : public QObject {
    Q_OBJECT

    const QString setup = QCoreApplication::applicationDirPath() + "/" SETUP_FILE;
    QString olderSetup, olderVersion;
    QString defaultDir, shortcut;
    QStringList dirs;   // removed after each case, whatever it left

    QString dirOf(const QString &folder) const { return folder.isEmpty() ? defaultDir : folder; }

private slots:
    void initTestCase()
    {
        QVERIFY(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        QVERIFY2(QFileInfo::exists(setup), qPrintable(setup + " missing: scripts/windows-package.sh makes it"));
        const QFileInfoList older = QDir(QCoreApplication::applicationDirPath() + "/" OLDER_DIR)
                                        .entryInfoList({"tarnholm-*-win64-setup.exe"});
        QVERIFY2(older.size() == 1, "no older setup to upgrade from");
        olderSetup = older.first().filePath();
        olderVersion = older.first().fileName().section('-', 1, 1);
        QVERIFY(olderVersion != kVersion);
        defaultDir = knownFolder(FOLDERID_ProgramFiles) + "\\Tarnholm";
        shortcut = knownFolder(FOLDERID_CommonPrograms) + "\\" + kProduct + ".lnk";
        QCOMPARE(entries(), 0);
    }
    void cleanup()
    {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, w(kEntry));
        QFile::remove(shortcut);
        for (const QString &dir : std::exchange(dirs, {}))
            QDir(dir).removeRecursively();
    }

    // Silent installs, each followed from its files to its uninstall. An older version is
    // replaced, not joined: one entry, the new version, one set of files. The vendor's DLL
    // the operator put beside the old program is never touched, by the uninstall neither.
    void installAndUninstall_data()
    {
        QTest::addColumn<bool>("upgrade");          // over an older version with the DLL beside it
        QTest::addColumn<QString>("oldFolder");     // given with /D= to the older version
        QTest::addColumn<QString>("folder");        // given with /D=, or the default
        QTest::addColumn<QString>("installedIn");
        const QString chosen = QStringLiteral("C:\\Camera Tools\\Tarnholm");
        QTest::newRow("default folder") << false << "" << "" << "";
        QTest::newRow("chosen folder with a space") << false << "" << chosen << chosen;
        QTest::newRow("upgrade in place") << true << "" << "" << "";
        // Without /D= the new version goes where the old one is.
        QTest::newRow("upgrade follows the old folder") << true << "C:\\Tarnholm Old" << ""
                                                        << "C:\\Tarnholm Old";
        QTest::newRow("upgrade into a folder of its own") << true << "" << "C:\\Tarnholm New"
                                                          << "C:\\Tarnholm New";
    }
    void installAndUninstall()
    {
        QFETCH(bool, upgrade);
        QFETCH(QString, oldFolder);
        QFETCH(QString, folder);
        QFETCH(QString, installedIn);
        const QString dir = dirOf(installedIn), oldDir = dirOf(oldFolder);
        dirs << dir << oldDir;
        const QByteArray library("the operator's copy of the vendor's library");
        QFile dll(oldDir + "\\" + kVendorDll);
        if (upgrade) {
            QCOMPARE(runSetup(olderSetup, oldFolder), 0);
            QCOMPARE(regString(kEntry, "DisplayVersion"), olderVersion);
            QVERIFY(dll.open(QIODevice::WriteOnly) && dll.write(library) == library.size());
            dll.close();
        }
        QCOMPARE(runSetup(setup, folder), 0);

        // The program, its icon and the note; never the vendor's DLL.
        const bool besideDll = upgrade && oldDir == dir;
        const QStringList kept = besideDll ? QStringList{kVendorDll} : QStringList();
        QCOMPARE(files(dir), kept + kInstalled);   // kVendorDll sorts first
        if (upgrade && !besideDll)
            QCOMPARE(files(oldDir), QStringList{kVendorDll});
        {
            QFile readme(dir + "\\README.txt");   // closed before the uninstall
            QVERIFY(readme.open(QIODevice::ReadOnly));
            QVERIFY(readme.readAll().contains(kVendorDll.toLatin1()));
        }
        QCOMPARE(entries(), 1);
        QStringList seen;
        for (const char *name : {"DisplayName", "DisplayVersion", "DisplayIcon", "InstallLocation",
                                 "UninstallString"})
            seen << QString(name) + "=" + regString(kEntry, name);
        QCOMPARE(seen, QStringList({"DisplayName=" + kProduct, "DisplayVersion=" + kVersion,
                                    "DisplayIcon=" + dir + "\\tarnholm.exe,0",
                                    "InstallLocation=" + dir,
                                    "UninstallString=\"" + dir + "\\Uninstall.exe\""}));
        const QStringList link = readShortcut(shortcut);
        QCOMPARE(link.join('|').toLower(), (dir + "\\tarnholm.exe|" + dir).toLower());

        // Started as the shortcut starts it, the window shows and closes when asked.
        QProcess tool;
        tool.setProgram(link[0]);
        tool.setWorkingDirectory(link[1]);
        tool.start();
        QVERIFY(tool.waitForStarted());
        HWND window = nullptr;
        for (int i = 0; i < 120 && !window; ++i) {
            QTest::qWait(250);
            window = FindWindowW(nullptr, w(kProduct));
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            window = pid == DWORD(tool.processId()) && IsWindowVisible(window) ? window : nullptr;
        }
        QVERIFY2(window, "no window of the installed program");
        PostMessageW(window, WM_CLOSE, 0, 0);
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);

        // The silent uninstall as Windows starts it (the registered command and /S); the copy
        // it hands over to has finished once the entry is gone.
        QCOMPARE(run(regString(kEntry, "UninstallString") + " /S"), 0);
        for (int i = 0; i < 120 && entries() != 0; ++i)
            QTest::qWait(250);
        QCOMPARE(entries(), 0);
        for (int i = 0; i < 40 && QFileInfo::exists(dir) != besideDll; ++i)
            QTest::qWait(250);
        QVERIFY2(QFileInfo::exists(dir) == besideDll && files(dir) == kept,
                 qPrintable(files(dir).join(", ")));
        QVERIFY(!QFileInfo::exists(shortcut));
        QCOMPARE(regString(kEntry, "DisplayName"), QString("(none)"));
        if (upgrade) {
            QVERIFY(dll.open(QIODevice::ReadOnly));
            QCOMPARE(dll.readAll(), library);
        }
    }
};

QTEST_GUILESS_MAIN(WinSetup)
#include "tst_win_setup.moc"
