#pragma once

#include <functional>
#include <string>

#include "job/Result.h"

namespace job {

// The core's log. Core code writes lines here; the front end installs the sink that puts
// them somewhere. Without a sink nothing is written: the core is a library, ravikctl keeps
// its one-line error contract on stderr, and the tests stay quiet. Safe from any thread.
class Log {
  public:
    enum class Level { Debug, Info, Warning, Error };
    using Sink = std::function<void(Level level, const std::string& line)>;

    // Replaces the sink; an empty function drops every line again.
    static void SetSink(Sink sink);
    static void Write(Level level, const std::string& line);
    // Logs "`what`: <code>: <reason>" when `result` is a failure: cancellations at Info,
    // everything else at Warning. Returns `result`, so a call can wrap an expression.
    static const Result& Failure(const std::string& what, const Result& result);
};

}  // namespace job
