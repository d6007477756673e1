#pragma once
// The commands. Each one runs on a connection that is open and logged in
// (but ports, which needs none, and write --each, which logs in on each
// receiver itself) and returns its exit status; an error that ends it is
// thrown to RunCommand, which tells it.
#include <optional>

#include "cli/Options.h"
#include "receiver/ParamExchange.h"
#include "receiver/ParamSet.h"

namespace cli {

class TConnection;
class TInterrupt;
class TOutput;

// The command of options, from the set file's check to the end of the
// session; its exit status.
int RunCommand(const TOptions& options, TOutput& output, TInterrupt& interrupt);

int RunPorts(TOutput& output);
int RunRead(TConnection& connection);
int RunDiff(TConnection& connection, const params::TValues& file);
// One receiver, or with --each a fleet of them.
int RunWrite(TConnection& connection, const params::TValues& file);
int RunClock(TConnection& connection);
int RunMonitor(TConnection& connection);

// The receiver's set read out as the parameters dialog reads it, the step
// told. Nothing, with *status, when the receiver did not answer (4) or the
// reply was damaged and --force not given (5); both told, the damaged one
// with its JSON object (result "damaged").
std::optional<params::TReadOut> ReadReceiverSet(TConnection& connection, int* status);

}  // namespace cli
