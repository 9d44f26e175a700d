#pragma once

#include "core/launch/LaunchRequest.h"
#include "core/launch/LaunchWatch.h"

#include <chrono>
#include <string>

namespace marlit {

// Starts programs detached: no shell of ours, no zombie left behind, no handle kept.
class ProcessLauncher
{
public:
    struct Result
    {
        bool started = false;
        std::string error;  // what could not be started and why, when started is false
        std::string reason; // the end of error that says why: the system's text, or the folder too
        LaunchWatch watch;  // the first seconds of the program, when a watch time was asked for
    };

    // Starts the program in the request's working directory with the caller's environment. It
    // gets standard input from /dev/null, our standard output and error, and no other descriptor;
    // with a watch its standard error is a pipe whose bytes go on to ours.
    // A relative program path that holds a separator is taken relative to the caller's current
    // directory; a bare name is looked up on PATH. A program file the system cannot execute
    // for want of a "#!" line is run by /bin/sh, as a shell would.
    //
    // With a watch time, the result's watch tells whether the program ended within that time and
    // what it wrote last to standard error.
    static Result startDetached(const LaunchRequest &request,
                                std::chrono::milliseconds watchTime = std::chrono::milliseconds::zero());
};

} // namespace marlit
