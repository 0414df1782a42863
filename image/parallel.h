// Runs independent work of one call on its own threads, joined before returning: one thread per
// channel, or one per band of rows of a large picture.
#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace kandrel {

// body(0) … body(count − 1), concurrently: the last on the calling thread, the others on threads
// of their own (or on the calling thread when no thread can be started). The first exception a
// body throws is rethrown here once all have finished.
template <class Body>
void ForEachInParallel(int count, Body&& body) {
  std::vector<std::exception_ptr> errors(count);
  const auto run = [&](int i) {
    try {
      body(i);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(count);
  for (int i = 0; i + 1 < count; ++i) {
    try {
      threads.emplace_back(run, i);
    } catch (const std::system_error&) {
      run(i);
    }
  }
  if (count > 0) run(count - 1);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

// body(begin, end) over bands of the rows 0 … rows − 1 that together cover them once, one band
// per hardware thread. Pictures under about 64 K samples are one band on the calling thread:
// starting threads would cost more than it saves.
template <class Body>
void ForEachRowBand(int rows, std::size_t samplesPerRow, Body&& body) {
  constexpr std::size_t kSamplesWorthAThread = 1 << 16;
  const std::size_t samples = static_cast<std::size_t>(std::max(rows, 0)) * samplesPerRow;
  // Asking the system for its processors is a system call: once per run is enough.
  static const std::size_t threads = std::max(1u, std::thread::hardware_concurrency());
  const int bands = static_cast<int>(std::min<std::size_t>(
      {threads, samples / kSamplesWorthAThread, static_cast<std::size_t>(std::max(rows, 0))}));
  if (bands <= 1) {
    body(0, rows);
    return;
  }
  ForEachInParallel(bands, [&](int band) {
    body(static_cast<int>(static_cast<long long>(rows) * band / bands),
         static_cast<int>(static_cast<long long>(rows) * (band + 1) / bands));
  });
}

}  // namespace kandrel
