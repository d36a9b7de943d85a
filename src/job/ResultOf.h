#pragma once

#include <optional>
#include <utility>

#include "job/Result.h"

namespace job {

// A value, or the Result saying why there is none. Built from a T on success and from a
// failed Result otherwise; Value() may only be called when Ok().
template <class T>
class [[nodiscard]] ResultOf {
  public:
    ResultOf(T value) : value_(std::move(value)) {}
    ResultOf(Result failure) : result_(std::move(failure)) {
        // An ok Result without a value would leave Value() with nothing to give.
        if (result_.Ok()) {
            result_ = Result::Failed(Code::BadData, "no value");
        }
    }

    bool Ok() const { return result_.Ok(); }
    const Result& Status() const { return result_; }
    const T& Value() const { return *value_; }
    T& Value() { return *value_; }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }

  private:
    Result result_;
    std::optional<T> value_;
};

}  // namespace job
