#pragma once
// Hands work from any thread to an object's thread, and drops it once the object is gone. The
// object severs the line first thing in its destructor; from then on nothing reaches it, and
// what was already queued is discarded with its events.

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace dovrane {

class Lifeline {
public:
    explicit Lifeline(QObject* target) : state_(std::make_shared<State>(target)) {}

    // Any thread. Runs job on the target's thread, unless the line is severed by then.
    void post(std::function<void()> job) const {
        std::lock_guard lock(state_->mutex);
        if (state_->target)
            QMetaObject::invokeMethod(state_->target, std::move(job), Qt::QueuedConnection);
    }

    // The target's thread, before the target is destroyed.
    void sever() const {
        std::lock_guard lock(state_->mutex);
        state_->target = nullptr;
    }

private:
    struct State {
        explicit State(QObject* object) : target(object) {}
        std::mutex mutex;
        QObject* target;
    };
    std::shared_ptr<State> state_;
};

} // namespace dovrane
