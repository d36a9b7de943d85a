#pragma once

#include <any>

#include "job/Result.h"

namespace job {

// Where a job's news goes: a runner that carries it to the front end's thread, a test that
// records it, or a command-line tool that prints it. Every call comes from the job's thread.
// Progress and events are copied values of the job's own types (see each job's header).
class Listener {
  public:
    virtual ~Listener() = default;
    // The newest state of the work (figures of a download). Only the latest one matters, so
    // a receiver may skip values that a later one replaces.
    virtual void OnProgress(const std::any& /*progress*/) {}
    // Something that happened. Every event counts, in order.
    virtual void OnEvent(const std::any& /*event*/) {}
    // The end of the job: exactly once, after every progress and event.
    virtual void OnFinished(const Result& /*result*/) {}
};

}  // namespace job
