#include "cli/progress_line.h"

#include <cmath>
#include <cstdio>

#include "textio/platform.h"

namespace kovarim::cli {
namespace {

constexpr auto kInterval = std::chrono::milliseconds(250);

// Columns on a terminal: two for a Chinese character (three bytes of UTF-8),
// one for the rest.
std::size_t Columns(const std::string &utf8) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        columns += bytes == 3 ? 2 : 1;
        i += bytes;
    }
    return columns;
}

std::string Duration(double seconds) {
    const long long s = std::llround(seconds);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

} // namespace

ProgressLine::ProgressLine(bool shown) : shown_(shown && platform::IsTerminal(stderr)) {}

ProgressLine::~ProgressLine() { Stop(); }

void ProgressLine::Started(long long tripleCount) {
    if (!shown_ || thread_.joinable())
        return;
    total_ = tripleCount;
    start_ = std::chrono::steady_clock::now();
    thread_ = std::thread([this] { Run(); });
}

void ProgressLine::Stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

std::string ProgressLine::Text(long long done, long long total, double seconds) {
    const double share = total > 0 ? 100.0 * static_cast<double>(done) / total : 100.0;
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    char text[160];
    std::snprintf(text, sizeof text, "三点组 triples %5.1f%%  %.0f/s  剩余 left %s", share, rate,
                  rate > 0 ? Duration(static_cast<double>(total - done) / rate).c_str() : "?");
    return text;
}

void ProgressLine::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kInterval, [this] { return stopping_; })) {
        const long long done = done_.load(std::memory_order_relaxed);
        if (done >= total_)
            break; // the search is over; what follows it is quick
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        Draw(Text(done, total_, elapsed.count()));
    }
    if (width_ > 0)
        Draw(""); // blanks over the line, the cursor back at its start
}

// Over the line drawn before, which may have been longer; a terminal that
// is gone (closed) is no matter.
void ProgressLine::Draw(const std::string &text) {
    const std::size_t columns = Columns(text);
    std::string line = "\r" + text;
    if (columns < width_)
        line += std::string(width_ - columns, ' ');
    if (text.empty())
        line += "\r";
    width_ = text.empty() ? 0 : columns;
    // As the messages go: a console gets its characters whatever its code page.
    platform::WriteText(stderr, line);
}

} // namespace kovarim::cli
