#include "app/worker.h"

void Worker::WorkerLoadFw(const fw_info &) {}
