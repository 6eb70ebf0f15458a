#pragma once
#include "platform/host_file_io.h"

namespace sim {

// The host's file operations (fault settings come with the worker).
class SimFileIo : public platform::HostFileIo {
};

} // namespace sim
