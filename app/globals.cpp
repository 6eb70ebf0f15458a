#include "app/tarnholm.h"

Tarnholm *g_mainWindow = nullptr;
std::atomic<int> g_upgradeStage{0};
const QString g_firmwareFileName = QStringLiteral("fw.bin");
const QString g_supportedCameraName = QStringLiteral("Ostrel Camera");
const GUID g_captureCategory = {0x65E8773D, 0x8F56, 0x11D0,
                                {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
