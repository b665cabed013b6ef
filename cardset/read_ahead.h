#pragma once

// Going through a large card set with two threads: a second thread reads the
// files a few batches ahead while the calling thread works on what was read,
// so the waits on the system and the work on the cards overlap. Items reach
// `handle` in order, one batch in memory at a time and a few more read ahead.
// Without a second thread (none to be had) everything runs on the caller's.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

template <class Item, class Read, class Handle> void readAhead(std::size_t count, Read read, Handle handle)
{
    constexpr std::size_t kBatch = 128;
    constexpr std::size_t kBatchesAhead = 4;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<Item>> ready;
    bool stop = false;  // the caller has stopped taking batches
    const auto produce = [&] {
        for (std::size_t start = 0; start < count; start += kBatch) {
            std::vector<Item> batch(std::min(kBatch, count - start));
            for (std::size_t i = 0; i < batch.size(); ++i)
                read(start + i, batch[i]);
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return stop || ready.size() < kBatchesAhead; });
            if (stop)
                return;
            ready.push_back(std::move(batch));
            changed.notify_all();
        }
    };

    std::thread reader;
    try {
        reader = std::thread(produce);
    } catch (const std::system_error&) {
        Item item;
        for (std::size_t i = 0; i < count; ++i) {
            item = Item();
            read(i, item);
            handle(i, item);
        }
        return;
    }
    // However the caller's work ends, the reader is stopped and waited for.
    struct Join {
        std::thread& reader;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stop;
        ~Join()
        {
            {
                const std::lock_guard lock(mutex);
                stop = true;
            }
            changed.notify_all();
            reader.join();
        }
    } join{reader, mutex, changed, stop};

    for (std::size_t start = 0; start < count; start += kBatch) {
        std::vector<Item> batch;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !ready.empty(); });
            batch = std::move(ready.front());
            ready.pop_front();
            changed.notify_all();
        }
        for (std::size_t i = 0; i < batch.size(); ++i)
            handle(start + i, batch[i]);
    }
}
