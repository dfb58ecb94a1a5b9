// An exception raised while the platform delivers a message must not cross
// the platform's dispatch. It waits here until the call of ours that made the
// platform send that message has returned, and that call raises it; with no
// such call in progress nobody could carry it, and it is handed back as stray.
#pragma once
#include <exception>
#include <utility>

class deferred_failure {
public:
  deferred_failure() = default;
  deferred_failure(const deferred_failure&) = delete;
  deferred_failure& operator=(const deferred_failure&) = delete;

  // Marks a call of ours into the platform (creating the window, setting a
  // control) for as long as it runs.
  class own_call {
  public:
    explicit own_call(deferred_failure& failures) noexcept : failures_(failures) { ++failures_.own_calls_; }
    ~own_call() { --failures_.own_calls_; }
    own_call(const own_call&) = delete;
    own_call& operator=(const own_call&) = delete;

  private:
    deferred_failure& failures_;
  };

  // Keeps the first failure of an own call (what follows from it is not worth
  // telling); false when no own call runs and the caller must deal with it.
  bool keep(std::exception_ptr failure) noexcept {
    if (own_calls_ == 0) return false;
    if (!pending_) pending_ = std::move(failure);
    return true;
  }
  bool has_pending() const noexcept { return static_cast<bool>(pending_); }
  // Raises the kept failure, once.
  void rethrow_pending() {
    if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
  }
  // Runs a platform call of ours that makes the window send notifications at
  // once; a failure while they were handled is raised once it has returned.
  template <typename Call> void own_platform_call(Call call) {
    {
      const own_call marked(*this);
      call();
    }
    rethrow_pending();
  }

private:
  std::exception_ptr pending_;
  int own_calls_ = 0;
};
