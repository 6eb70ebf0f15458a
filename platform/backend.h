#pragma once
#include <memory>

namespace platform {

// Owns the objects of one backend and installs them as the current platform.
class Backend {
public:
    virtual ~Backend() = default;
};

// Defined once per program: the native backend for `tarnholm`, the simulated
// camera world for `tarnholm-demo`.
std::unique_ptr<Backend> createBackend();

} // namespace platform
