// What boardctl's exit status means. Scripts rely on these numbers: they never change.
#pragma once

#include <stdexcept>
#include <string>

#include "json.h"

enum ExitCode : int {
    kExitOk = 0,             // done
    kExitBoardFailure = 1,   // the board failed a request, timed out, sent too little or went away
    kExitUsage = 2,          // bad arguments, a bad value, a file that cannot be read or is refused
    kExitNoBoard = 3,        // no board, none at the interface asked for, or one of unknown type
    kExitMismatch = 4,       // verification found a difference
    kExitInterrupted = 130,  // Ctrl-C (SIGINT) ended a command that is no --watch
    kExitTerminated = 143    // SIGTERM (or a console closed) ended the command at once
};

// A command's failure: the exit status and the one line that tells what went wrong, and where
// there is more to say (what a failed write left on the board, every difference a verification
// found), lines of text after it and fields of the --json failure object.
class CommandError : public std::runtime_error {
  public:
    CommandError(ExitCode code, const std::string& message, std::string detailText = {},
                 Json detailJson = Json::object())
        : std::runtime_error(message),
          code_(code),
          detailText_(std::move(detailText)),
          detailJson_(std::move(detailJson)) {}
    ExitCode Code() const { return code_; }
    // Lines after the message, each ending in a newline; empty when there are none.
    const std::string& DetailText() const { return detailText_; }
    // Fields for the --json failure object (an object, empty when there are none).
    const Json& DetailJson() const { return detailJson_; }

  private:
    ExitCode code_;
    std::string detailText_;
    Json detailJson_;
};
