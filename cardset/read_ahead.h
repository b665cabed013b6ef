#pragma once

// Going through a large card set with more than one thread: worker threads
// read (and, where the caller asks, work on) batches of files a few batches
// ahead while the calling thread handles what was read, so the waits on the
// system and the work on the cards overlap and use every processor. `read`
// runs on the workers and must be safe to run on several threads at once;
// `handle` runs on the caller's thread and gets the items in order. Memory
// holds a few batches at a time. Without threads to be had, everything runs
// on the caller's thread.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

template <class Item, class Read, class Handle> void readAhead(std::size_t count, Read read, Handle handle)
{
    constexpr std::size_t kBatch = 128;
    constexpr std::size_t kWorkers = 2;
    constexpr std::size_t kBatchesAhead = 8;
    const std::size_t batches = (count + kBatch - 1) / kBatch;

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::size_t, std::vector<Item>> ready;  // batches read, by number
    std::size_t nextToRead = 0;                      // the next batch a worker takes
    std::size_t nextToHandle = 0;                    // the next batch the caller takes
    bool stop = false;                               // the caller has stopped taking batches
    const auto work = [&] {
        for (;;) {
            std::size_t b;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || nextToRead < nextToHandle + kBatchesAhead; });
                if (stop || nextToRead == batches)
                    return;
                b = nextToRead++;
            }
            std::vector<Item> batch(std::min(kBatch, count - b * kBatch));
            for (std::size_t i = 0; i < batch.size(); ++i)
                read(b * kBatch + i, batch[i]);
            const std::lock_guard lock(mutex);
            ready.emplace(b, std::move(batch));
            changed.notify_all();
        }
    };

    std::vector<std::thread> workers;
    try {
        for (std::size_t w = 0; w < kWorkers && w < batches; ++w)
            workers.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer workers, or none: the caller's thread reads what is left.
    }
    // However the caller's work ends, the workers are stopped and waited for.
    struct Join {
        std::vector<std::thread>& workers;
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
            for (std::thread& w : workers)
                w.join();
        }
    } join{workers, mutex, changed, stop};
    if (workers.empty()) {
        nextToHandle = batches;  // no worker will take a batch now
        Item item;
        for (std::size_t i = 0; i < count; ++i) {
            item = Item();
            read(i, item);
            handle(i, item);
        }
        return;
    }

    for (std::size_t b = 0; b < batches; ++b) {
        std::vector<Item> batch;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ready.contains(b); });
            batch = std::move(ready.at(b));
            ready.erase(b);
            nextToHandle = b + 1;
            changed.notify_all();
        }
        for (std::size_t i = 0; i < batch.size(); ++i)
            handle(b * kBatch + i, batch[i]);
    }
}
