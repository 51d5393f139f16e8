#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

namespace kovarim::cli {

// A line on standard error that tells a user at a terminal how far the
// triple search has come (the share of triples tried, triples per second,
// the time left), redrawn a few times a second and taken away when the
// search is over. Nothing at all when standard error is not a terminal or
// `shown` is false, nor for a search over before the first redraw.
class ProgressLine {
  public:
    explicit ProgressLine(bool shown);
    ~ProgressLine(); // Stop
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // The search's hooks (SearchProgress::started and done).
    void Started(long long tripleCount);
    std::atomic<long long> *done() { return &done_; }
    // Takes the line away and waits for its thread: standard error is the
    // caller's again.
    void Stop();

    // The text of the line for `done` of `total` triples after `seconds`.
    static std::string Text(long long done, long long total, double seconds);

  private:
    void Run();
    void Draw(const std::string &text);

    const bool shown_;
    std::atomic<long long> done_{0};
    long long total_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
    std::size_t width_ = 0; // the columns of the line on the screen
};

} // namespace kovarim::cli
