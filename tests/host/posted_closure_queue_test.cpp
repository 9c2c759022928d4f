// The window's dispatcher queue with its wake-up post played by the test: worker threads enqueue
// while another thread's post fails. Runs under ThreadSanitizer too.

#include "ui/posted_closure_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace {

using Velmora::PostedClosureQueue;

TEST(PostedClosureQueue, AFailedPostTakesBackItsOwnClosureAndNotAnotherThreadsOne) {
    int window = 0;
    std::latch firstIsPosting(1);
    std::latch secondEnqueued(1);
    std::atomic<int> posts{0};
    // The first post fails, but only after a second thread has enqueued and posted.
    PostedClosureQueue queue([&](void* target) {
        EXPECT_EQ(target, &window);
        if (posts++ > 0) {
            return true;
        }
        firstIsPosting.count_down();
        secondEnqueued.wait();
        return false;
    });
    queue.Attach(&window);

    std::vector<std::string> ran; // by the closures, which run on this thread
    const auto record = [&ran](std::string name) { return [&ran, name] { ran.push_back(name); }; };
    bool firstAccepted = true;
    bool secondAccepted = false;
    std::thread first([&] { firstAccepted = queue.TryEnqueue(record("first")); });
    std::thread second([&] {
        firstIsPosting.wait();
        secondAccepted = queue.TryEnqueue(record("second"));
        secondEnqueued.count_down();
    });
    first.join();
    second.join();

    EXPECT_FALSE(firstAccepted);
    EXPECT_TRUE(secondAccepted);
    EXPECT_EQ(queue.RunPending(), 1);
    EXPECT_EQ(ran, std::vector<std::string>{"second"})
        << "a refused closure never runs; an accepted one does";
}

} // namespace
