#pragma once
// The numbers an update's state is told by. They are plain ints on purpose:
// the worker's signal, the window's members and the trace carry the numbers
// themselves, so each value here is fixed.

// The window's `updateStage`.
namespace WindowStage {
enum : int {
    Idle = 0,
    AwaitingDrive = 1,   // the camera was asked to become a drive
    Copying = 2,         // the job was handed to the worker
};
}

// `g_upgradeStage`, shared by the window and the worker.
namespace UpgradeStage {
enum : int {
    None = 0,
    Switched = 1,    // the camera is a drive now
    Copying = 2,
    Copied = 3,      // "update" is on the drive, which is still there
    DriveGone = 4,   // the camera is flashing or rebooting
    CameraBack = 5,
};
}

// The codes of `Worker::WorkerTheardState`; 1 to 99 between them are progress.
namespace WorkerState {
enum : int {
    TimedOut = -3,
    DriveUnusable = -2,
    FileUnusable = -1,
    ChunksDone = 50,   // the 50th chunk is written (a remainder may follow as 51)
    Rebooting = 95,    // the drive has gone
    Done = 100,
};
}
