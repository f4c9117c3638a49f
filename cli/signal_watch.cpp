#include "signal_watch.h"

#include <signal.h>

#include <ctime>
#include <utility>

namespace krumple::cli {
namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

void blockStopSignals() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A closed pipe on stdout must not kill a batch halfway through a write.
    signal(SIGPIPE, SIG_IGN);
}

SignalWatch::SignalWatch(std::function<void()> onSignal)
    : thread_([onSignal = std::move(onSignal)](std::stop_token stop) {
          const sigset_t set = stopSignals();
          const timespec poll{0, 100'000'000};
          while (!stop.stop_requested()) {
              if (sigtimedwait(&set, nullptr, &poll) > 0) onSignal();
          }
      }) {}

}  // namespace krumple::cli
