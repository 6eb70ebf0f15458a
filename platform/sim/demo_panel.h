#pragma once
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace sim {

class SimCameraUpdate;
class SimDevices;
class SimWorld;

// The demo's second window: plugs a second camera or a USB stick in and out
// of the simulated machine (each on a USB port of its own), shows what the
// stick holds, and sets what goes wrong in the camera's update.
class DemoPanel : public QWidget {
    Q_OBJECT
public:
    DemoPanel(SimWorld &world, SimDevices &devices, SimCameraUpdate &camera,
              QWidget *parent = nullptr);

private:
    void toggleCamera();
    void toggleStick();
    void showState();

    SimWorld &m_world;
    SimDevices &m_devices;
    SimCameraUpdate &m_camera;
    QPushButton *m_cameraButton;
    QPushButton *m_stickButton;
    QComboBox *m_fault;
    QLabel *m_state;
    QLabel *m_stickState;
    int m_secondCamera = -1;   // plug id while plugged
    int m_stick = -1;          // volume id while plugged
};

} // namespace sim
