// The built programs' resources read back as Windows reads them: the version strings Explorer's
// Properties show, their one icon, the manifest the loader applies.
#include <QtTest>
#include <windows.h>
#include <shellapi.h>

namespace {

const QString kProduct = QStringLiteral("Ostrel Quorvia Camera Update Tool");

const wchar_t *w(const QString &s) { return reinterpret_cast<const wchar_t *>(s.utf16()); }

// The program's resource of the type (RT_...) under id 1, empty for none. The program is loaded as
// an image of resources only: nothing of it runs.
QByteArray resource(const QString &path, LPCSTR type)
{
    const HMODULE module = LoadLibraryExW(w(path), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(1), type) : nullptr;
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char *data = loaded ? static_cast<const char *>(LockResource(loaded)) : nullptr;
    const QByteArray bytes = data ? QByteArray(data, int(SizeofResource(module, found))) : QByteArray();
    FreeLibrary(module);
    return bytes;
}

} // namespace

class WinResources : public QObject {
    Q_OBJECT

private slots:
    void resources_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("strings");   // key=value, in this order
        for (const QString program : {"tarnholm", "tarnholm-demo"}) {
            const QString description = program == "tarnholm" ? kProduct : kProduct + " (demo on simulated cameras)";
            QTest::newRow(qPrintable(program)) << program + ".exe" << QStringList{
                "ProductName=" + kProduct, "FileDescription=" + description, "FileVersion=" PROJECT_VERSION_TEXT,
                "ProductVersion=" PROJECT_VERSION_TEXT, "OriginalFilename=" + program + ".exe",
                "InternalName=" + program, "CompanyName=" COMPANY_NAME};
        }
    }
    void resources()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, strings);
        const QString path = QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/" PROGRAMS_DIR "/"
                                                      + program);
        const DWORD size = GetFileVersionInfoSizeW(w(path), nullptr);
        QVERIFY2(size > 0, "no version information");
        QByteArray info(int(size), '\0');
        QVERIFY(GetFileVersionInfoW(w(path), 0, size, info.data()));
        // Explorer looks the strings up under the block's first language and code page.
        void *value = nullptr;
        UINT length = 0;
        QVERIFY(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4);
        const auto *lang = static_cast<const WORD *>(value);
        const QString block = QString("\\StringFileInfo\\%1%2\\").arg(lang[0], 4, 16, QChar('0'))
                                  .arg(lang[1], 4, 16, QChar('0'));
        QStringList seen;
        for (const QString &pair : strings) {
            const QString key = pair.section('=', 0, 0);
            const bool found = VerQueryValueW(info.data(), w(block + key), &value, &length) && length > 0;
            seen << key + (found ? "=" + QString::fromWCharArray(static_cast<wchar_t *>(value)) : " missing");
        }
        QCOMPARE(seen, strings);

        QCOMPARE(ExtractIconExW(w(path), -1, nullptr, nullptr, 0), 1u);   // one icon, the program's own

        // The manifest the loader reads at process creation, as written (no elevation prompt, the Windows
        // versions the program is written for), and no other in its place.
        QFile manifest(QCoreApplication::applicationDirPath() + "/" MANIFEST_FILE);
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        QCOMPARE(resource(path, RT_MANIFEST), manifest.readAll());
    }
};

QTEST_GUILESS_MAIN(WinResources)
#include "tst_win_resources.moc"
