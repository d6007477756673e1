#pragma once
// The synchronous hand-over from the event thread to the GUI thread, and the
// posting of an error to the GUI thread. Internal to the serial component.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Hands one job at a time from the event thread to the GUI thread and lets
// the event thread block until it has run. The job can be run either by
// whatever the poster arranges on the GUI thread (a queued call) or by the
// close's wait, whichever comes first, exactly once; a queued call arriving
// later finds nothing to do.
class TComHandOver : public std::enable_shared_from_this<TComHandOver> {
 public:
  // Arranges for RunPending() to be called on the GUI thread soon.
  using TPoster = std::function<void(std::shared_ptr<TComHandOver>)>;

  explicit TComHandOver(TPoster poster) : poster_(std::move(poster)) {}

  // The poster of the program: a queued call on the application object's
  // thread; with no application object, at once on the calling thread.
  static TPoster GuiThreadPoster();

  // Event thread: hands the job over and blocks until it has run, or until
  // a close started from inside the running job released it.
  void Deliver(std::function<void()> job);

  // GUI side: runs the pending job, if there is one; false when none. An
  // exception from the job goes to ShowApplicationError.
  bool RunPending();

  // Event thread, on its way out.
  void MarkFinished();

  // The closing side, after the stop request: waits until the event thread
  // has finished, meanwhile running a job it hands over. Called from inside
  // a job being run (a handler closing its own port), it first releases the
  // event thread from that job and cancels the rest of it. Afterwards no job
  // of this hand-over runs any more.
  void WaitFinished();

  // Stops the delivery: the job being run ends at its next check, no later
  // job runs.
  void Cancel();
  bool Cancelled() const;

 private:
  enum class State { Idle, Pending, Running };

  TPoster poster_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  State state_ = State::Idle;
  std::function<void()> job_;
  uint64_t seq_ = 0;  // number of the job pending or running
  std::thread::id runner_;
  bool cancelled_ = false;
  bool finished_ = false;
};

// Runs job on the GUI thread without waiting for it (at once when there is
// no application object).
void PostToGuiThread(std::function<void()> job);

// Shows an error through ShowApplicationError on the GUI thread, without
// waiting for it.
void PostApplicationError(std::exception_ptr error);
