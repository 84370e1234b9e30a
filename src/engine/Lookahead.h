#pragma once
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tabulonix {

// Makes the items 0 .. count - 1 on worker threads, ahead of a caller that takes them one by
// one in order: a bounded number of items is made or waiting at any time. Without workers
// each item is made by the caller when it takes it, as a plain loop would.
template <class Result> class Lookahead {
  public:
    // `make(index, worker)` makes an item; `worker` (0 .. workers - 1) tells which worker's
    // objects it may use. An exception it throws is thrown again by Take.
    using Make = std::function<Result(size_t index, size_t worker)>;

    Lookahead(size_t count, size_t workers, size_t ahead, Make make)
        : count_(count), ahead_(ahead < 1 ? 1 : ahead), make_(std::move(make))
    {
        for (size_t w = 0; w < workers; ++w)
            threads_.emplace_back([this, w] { Work(w); });
    }

    // Items not started yet are dropped; the ones being made are finished first.
    ~Lookahead()
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stopping_ = true;
        }
        wanted_.notify_all();
        for (auto& t : threads_)
            t.join();
    }

    Lookahead(const Lookahead&) = delete;
    Lookahead& operator=(const Lookahead&) = delete;

    // The item `index`; items are taken in increasing order.
    Result Take(size_t index)
    {
        if (threads_.empty())
            return make_(index, 0);
        std::unique_lock<std::mutex> guard(lock_);
        taking_ = index;
        wanted_.notify_all();
        made_.wait(guard, [&] { return done_.count(index) != 0; });
        Done d = std::move(done_.at(index));
        done_.erase(index);
        taking_ = index + 1;
        guard.unlock();
        wanted_.notify_all();
        if (d.failure)
            std::rethrow_exception(d.failure);
        return std::move(d.result);
    }

  private:
    struct Done {
        Result result{};
        std::exception_ptr failure;
    };

    void Work(size_t worker)
    {
        for (;;) {
            size_t index;
            {
                std::unique_lock<std::mutex> guard(lock_);
                wanted_.wait(guard, [&] {
                    return stopping_ || next_ >= count_ || next_ < taking_ + ahead_;
                });
                if (stopping_ || next_ >= count_)
                    return;
                index = next_++;
            }
            Done d;
            try {
                d.result = make_(index, worker);
            } catch (...) {
                d.failure = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> guard(lock_);
                done_.emplace(index, std::move(d));
            }
            made_.notify_all();
        }
    }

    const size_t count_;
    const size_t ahead_; // items started but not taken, at most
    Make make_;
    std::mutex lock_;
    std::condition_variable wanted_; // a worker may start the next item
    std::condition_variable made_;   // an item is done
    size_t next_ = 0;                // the next item to start
    size_t taking_ = 0;              // the item the caller takes next
    bool stopping_ = false;
    std::map<size_t, Done> done_;
    std::vector<std::thread> threads_; // last: started once everything else is ready
};

} // namespace tabulonix
