#include "platform/sim/demo_panel.h"
#include "platform/sim/sim_camera_update.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_firmware.h"
#include "platform/sim/sim_world.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace sim {

namespace {

struct FaultChoice {
    const char *text;
    SimCameraUpdate::Fault fault;
};

const FaultChoice Faults[] = {
    {"None: the update goes through", SimCameraUpdate::Fault::None},
    {"The drive never arrives", SimCameraUpdate::Fault::DriveNeverArrives},
    {"The drive never leaves", SimCameraUpdate::Fault::DriveNeverLeaves},
    {"The drive leaves during the copy", SimCameraUpdate::Fault::DriveLeavesDuringCopy},
    {"The camera never returns", SimCameraUpdate::Fault::CameraNeverReturns},
    {"The camera returns under another name", SimCameraUpdate::Fault::ReturnsUnderAnotherName},
};

} // namespace

DemoPanel::DemoPanel(SimWorld &world, SimDevices &devices, SimCameraUpdate &camera,
                     QWidget *parent)
    : QWidget(parent), m_world(world), m_devices(devices), m_camera(camera)
{
    setObjectName(QStringLiteral("DemoPanel"));
    setWindowTitle(QStringLiteral("Simulated machine"));

    m_cameraButton = new QPushButton(this);
    m_stickButton = new QPushButton(this);
    m_stickButton->setObjectName(QStringLiteral("Stick"));
    m_fault = new QComboBox(this);
    m_fault->setObjectName(QStringLiteral("Fault"));
    for (const FaultChoice &choice : Faults)
        m_fault->addItem(QString::fromLatin1(choice.text));
    m_stickState = new QLabel(this);
    m_stickState->setObjectName(QStringLiteral("StickState"));
    m_stickState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_stickState->setWordWrap(true);
    m_state = new QLabel(this);
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_state->setWordWrap(true);
    // Room for the drive's path without the panel having to grow.
    m_state->setMinimumHeight(3 * m_state->fontMetrics().lineSpacing());

    // The demo runs from the source tree or its app/ folder.
    QString samples = QStringLiteral("samples/ in the source tree");
    for (const QString &candidate : {QStringLiteral("samples"), QStringLiteral("../samples")}) {
        if (QDir(candidate).exists()) {
            samples = QDir(candidate).absolutePath();
            break;
        }
    }
    QLabel *hint = new QLabel(
        QStringLiteral("The camera runs firmware 2.1.15. Sample images: %1. "
                       "A stick plugged in during an update sits on another USB port "
                       "than the camera, and the tool leaves it alone.")
            .arg(QDir::toNativeSeparators(samples)), this);
    hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    hint->setWordWrap(true);

    QFormLayout *form = new QFormLayout;
    form->addRow(QStringLiteral("Second camera:"), m_cameraButton);
    form->addRow(QStringLiteral("USB stick:"), m_stickButton);
    form->addRow(QString(), m_stickState);
    form->addRow(QStringLiteral("Camera fault:"), m_fault);
    form->addRow(QStringLiteral("Camera now:"), m_state);
    QVBoxLayout *layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addLayout(form);

    connect(m_cameraButton, &QPushButton::clicked, this, &DemoPanel::toggleCamera);
    connect(m_stickButton, &QPushButton::clicked, this, &DemoPanel::toggleStick);
    connect(m_fault, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { m_camera.fault = Faults[index].fault; });

    QTimer *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &DemoPanel::showState);
    timer->start(250);
    showState();
}

void DemoPanel::toggleCamera()
{
    if (m_secondCamera < 0) {
        FirmwareVersion older;
        older.major = 2; older.minor = 0; older.patch = 3;
        older.year = 2020; older.month = 11; older.day = 30;
        older.mcuMajor = 1; older.mcuMinor = 0; older.mcuPatch = 2;
        SimDeviceSpec spec;
        spec.friendlyName = QStringLiteral("Ostrel Camera");
        spec.versionBlock = versionBlock(older);
        m_secondCamera = m_devices.plugCapture(spec);
    } else {
        m_devices.unplugCapture(m_secondCamera);
        m_secondCamera = -1;
    }
    showState();
}

void DemoPanel::toggleStick()
{
    if (m_stick < 0) {
        SimVolumeSpec spec;
        spec.busType = platform::VolumeBus::BusTypeUsb;
        m_stick = m_devices.plugVolume(spec);
    } else {
        m_devices.unplugVolume(m_stick);
        m_stick = -1;
    }
    showState();
}

void DemoPanel::showState()
{
    m_cameraButton->setText(m_secondCamera < 0 ? QStringLiteral("Plug in (firmware 2.0.3)")
                                               : QStringLiteral("Unplug"));
    m_stickButton->setText(m_stick < 0 ? QStringLiteral("Plug in") : QStringLiteral("Unplug"));
    QString state;
    switch (m_camera.phase()) {
    case SimCameraUpdate::Phase::Idle:
        state = QStringLiteral("a video device");
        break;
    case SimCameraUpdate::Phase::Switching:
        state = QStringLiteral("switching to mass storage");
        break;
    case SimCameraUpdate::Phase::DriveMounted:
        state = QStringLiteral("a USB drive, waiting for fw.bin and update");
        break;
    case SimCameraUpdate::Phase::Flashing:
        state = QStringLiteral("flashing");
        break;
    case SimCameraUpdate::Phase::Rebooting:
        state = QStringLiteral("rebooting");
        break;
    }
    const int drive = m_camera.driveId();
    if (drive >= 0)
        state += QStringLiteral("\n(drive at %1)").arg(m_world.volumes.directory(drive));
    m_state->setText(state);

    // A stick on another port is left alone during an update: this shows it.
    QString stick = QStringLiteral("not plugged in");
    if (const SimVolumeSpec *spec = m_stick < 0 ? nullptr : m_world.volumes.spec(m_stick)) {
        const QDir dir(m_world.volumes.directory(m_stick));
        stick = QStringLiteral("on USB port %1, %2\n(at %3)")
                    .arg(spec->usbPort,
                         dir.exists(QStringLiteral("fw.bin")) ? QStringLiteral("holds a fw.bin")
                                                              : QStringLiteral("no fw.bin written"),
                         dir.path());
    }
    m_stickState->setText(stick);
}

} // namespace sim
