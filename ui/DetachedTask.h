#pragma once
// A worker on a detached thread whose result is read through a future. Unlike a future of
// std::async, dropping this one never waits for the worker: a closing wizard is not held by a
// transfer that the network keeps waiting. The worker holds everything it uses by value.
#include <future>
#include <thread>
#include <type_traits>
#include <utility>

template <typename Work>
std::future<std::invoke_result_t<Work>> RunDetached(Work work) {
  std::packaged_task<std::invoke_result_t<Work>()> task(std::move(work));
  std::future<std::invoke_result_t<Work>> result = task.get_future();
  std::thread(std::move(task)).detach();  // the task keeps a thrown exception for the future
  return result;
}
