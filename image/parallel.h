// Runs independent per-channel work of one call on its own threads, joined before returning.
#pragma once

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

}  // namespace kandrel
