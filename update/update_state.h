#pragma once
// The numbers an update's state is told by. They are plain int constants on
// purpose: the worker's signal, the window's members, the trace and test
// tables carry the numbers themselves, so each value here is fixed.

// The window's `updateStage`.
namespace WindowStage {
constexpr int Idle = 0;
constexpr int AwaitingDrive = 1;  // the camera was asked to become a drive
constexpr int Copying = 2;        // the job was handed to the worker
}

// `g_upgradeStage`, shared by the window and the worker.
namespace UpgradeStage {
constexpr int None = 0;
constexpr int Switched = 1;   // the camera is a drive now
constexpr int Copying = 2;
constexpr int Copied = 3;     // "update" is on the drive, which is still there
constexpr int DriveGone = 4;  // the camera is flashing or rebooting
constexpr int CameraBack = 5;
}

// The codes of `Worker::WorkerTheardState`; 1 to 99 between them are progress.
namespace WorkerState {
constexpr int TimedOut = -3;
constexpr int DriveUnusable = -2;
constexpr int FileUnusable = -1;
constexpr int ChunksDone = 50;  // the 50th chunk is written (a remainder may follow as 51)
constexpr int Rebooting = 95;   // the drive has gone
constexpr int Done = 100;
}
