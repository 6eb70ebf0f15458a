#pragma once
#include "platform/sim/sim_world.h"
#include "platform/sim/virtual_clock.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QMutex>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <functional>

// A simulated machine on virtual time, installed as the tool's platform.
struct SimFixture {
    SimFixture() : world(&clock) { world.install(); }
    sim::VirtualClock clock;
    sim::SimWorld world;
};

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// One message box as the operator saw it; buttons: QMessageBox::StandardButtons, parentName: its parent's name.
struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon;
    int buttons;
    bool hasDefault;
    QString parentName;
};

// Closes every modal message box as soon as it shows, recording it; onBox sees each box first, still open.
class BoxCloser : public QObject {
public:
    BoxCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this]() {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            const QWidget *parent = box->parentWidget();
            boxes.append({box->windowTitle(), box->text(), box->icon(), int(box->standardButtons()),
                          box->defaultButton() != nullptr, parent ? parent->objectName() : QString()});
            if (onBox)
                onBox(boxes.last());
            box->done(QMessageBox::Ok);
        });
        m_timer.start(1);
    }
    QVector<SeenBox> boxes;
    std::function<void(const SeenBox &)> onBox;

private:
    QTimer m_timer;
};

// Captures the debug trace (qDebug), from any thread, while alive.
class DebugCapture {
public:
    DebugCapture()
    {
        QMutexLocker lock(&s_mutex);
        s_lines.clear();
        s_previous = qInstallMessageHandler(&capture);
    }
    ~DebugCapture() { qInstallMessageHandler(s_previous); }
    QStringList lines() const
    {
        QMutexLocker lock(&s_mutex);
        return s_lines;
    }

private:
    static void capture(QtMsgType type, const QMessageLogContext &c, const QString &text)
    {
        if (type != QtDebugMsg)
            return s_previous ? s_previous(type, c, text) : void();
        QMutexLocker lock(&s_mutex);
        s_lines.append(text);
    }
    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};
