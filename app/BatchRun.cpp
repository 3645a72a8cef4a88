#include "app/BatchRun.h"

#include <algorithm>

namespace lumivane {

BatchRun::BatchRun(BatchSettings settings, std::vector<BatchItem> items, QObject* parent)
    : QObject(parent),
      settings_(std::move(settings)),
      items_(std::move(items)),
      jobs_(BatchJobs(settings_, Total())) {}

BatchRun::~BatchRun() {
    Cancel();
    Wait();
}

void BatchRun::Start() {
    if (running_ || worker_.joinable()) return;
    running_ = true;
    BatchCallbacks callbacks;
    // The callbacks come from the batch's threads; the queued calls run on the GUI thread and
    // are dropped once this object is gone.
    callbacks.message = [this](const std::string& name, const std::string& message) {
        QMetaObject::invokeMethod(
            this,
            [this, n = QString::fromStdString(name), m = QString::fromStdString(message)] {
                emit Message(n, m);
            },
            Qt::QueuedConnection);
    };
    callbacks.finished = [this](const BatchResult& result, int done, int) {
        QMetaObject::invokeMethod(
            this, [this, result, done] { Count(result, done); }, Qt::QueuedConnection);
    };
    worker_ = std::thread([this, callbacks] {
        const BatchEnd end = RunBatch(settings_, items_, callbacks, &cancel_);
        QMetaObject::invokeMethod(
            this,
            [this, end] {
                running_ = false;
                emit Ended(end);
            },
            Qt::QueuedConnection);
    });
}

void BatchRun::Cancel() {
    cancel_ = true;
}

void BatchRun::Wait() {
    if (worker_.joinable()) worker_.join();
}

void BatchRun::Count(const BatchResult& result, int done) {
    done_ = std::max(done_, done);
    switch (result.status) {
        case BatchStatus::Written:
            ++written_;
            break;
        case BatchStatus::Skipped:
            ++skipped_;
            break;
        case BatchStatus::Failed:
            ++failed_;
            break;
    }
    if (result.status != BatchStatus::Skipped) {
        framedMs_ += result.ms;
        ++framed_;
    }
    emit PhotoDone(result);
}

double BatchRun::SecondsLeft() const {
    if (framed_ == 0) return -1;
    const int left = Total() - done_;
    return framedMs_ / framed_ * left / jobs_ / 1000.0;
}

}  // namespace lumivane
