#pragma once

#include "core/launch/LaunchRequest.h"

#include <string>

namespace marlit {

// Starts programs detached: no shell, no waiting, no zombie left behind, no handle kept.
class ProcessLauncher
{
public:
    struct Result
    {
        bool started = false;
        std::string error; // what could not be started and why, when started is false
    };

    // Starts the program in the request's working directory with the caller's environment.
    // A relative program path that holds a separator is taken relative to the caller's current
    // directory; a bare name is looked up on PATH.
    static Result startDetached(const LaunchRequest &request);
};

} // namespace marlit
