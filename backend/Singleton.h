#pragma once
// Process-wide services: created once, on first use, under their own once-flag; callers get a
// shared copy and hold it only for one operation. The object lives until the process ends.
#include <atomic>
#include <memory>
#include <mutex>

template <typename T>
class Singleton {
 public:
  static std::shared_ptr<T> GetInstance() {
    std::call_once(State().created, [] {
      State().instance.reset(new T());
      State().exists = true;
    });
    return State().instance;
  }

  // The instance when it has been created, else null: never creates it (nor what it makes on the way).
  static std::shared_ptr<T> GetExistingInstance() { return State().exists ? State().instance : nullptr; }

 protected:
  Singleton() = default;

 private:
  struct Storage {
    std::once_flag created;
    std::shared_ptr<T> instance;
    std::atomic<bool> exists{false};
  };
  static Storage& State() {
    static Storage storage;
    return storage;
  }
};
