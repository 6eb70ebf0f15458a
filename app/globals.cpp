#include "app/tarnholm.h"
#include "platform/capture_category.h"

Tarnholm *g_mainWindow = nullptr;
std::atomic<int> g_upgradeStage{0};
const QString g_firmwareFileName = QStringLiteral("fw.bin");
const QString g_supportedCameraName = QStringLiteral("Ostrel Camera");
const GUID g_captureCategory = platform::kCaptureCategory;
