// A batch run from the window: the batch runner on a worker thread of its own, so the window
// stays responsive, with its reports handed to the GUI thread as signals.
#pragma once

#include <QObject>
#include <atomic>
#include <thread>
#include <vector>

#include "loading/batch.h"

namespace lumivane {

class BatchRun : public QObject {
    Q_OBJECT

  public:
    BatchRun(BatchSettings settings, std::vector<BatchItem> items, QObject* parent = nullptr);
    // Cancels and waits for the photos in progress.
    ~BatchRun() override;

    void Start();
    // The batch stops after the photos in progress; Ended follows.
    void Cancel();
    // Blocks until the worker has finished (no signal is emitted from here on).
    void Wait();
    bool Running() const { return running_; }
    bool Cancelling() const { return cancel_; }

    int Total() const { return static_cast<int>(items_.size()); }
    int Done() const { return done_; }
    int Written() const { return written_; }
    int Skipped() const { return skipped_; }
    int Failed() const { return failed_; }
    // Seconds left, from the mean time per photo framed so far shared among the jobs; negative
    // while nothing has been framed yet.
    double SecondsLeft() const;

  signals:
    void PhotoDone(const lumivane::BatchResult& result);
    // A message about a photo or the background that is no failure of a result.
    void Message(const QString& name, const QString& message);
    void Ended(lumivane::BatchEnd end);

  private:
    void Count(const BatchResult& result, int done);

    BatchSettings settings_;
    std::vector<BatchItem> items_;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
    int jobs_ = 1;
    int done_ = 0, written_ = 0, skipped_ = 0, failed_ = 0;
    double framedMs_ = 0;  // over the photos written or failed
    int framed_ = 0;
};

}  // namespace lumivane
