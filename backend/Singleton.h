#pragma once
// Process-wide services: created once, on first use, under their own once-flag; callers get a
// shared copy and hold it only for one operation. The object lives until the process ends.
#include <memory>
#include <mutex>

template <typename T>
class Singleton {
 public:
  static std::shared_ptr<T> GetInstance() {
    static std::once_flag created;
    static std::shared_ptr<T> instance;
    std::call_once(created, [] { instance.reset(new T()); });
    return instance;
  }

 protected:
  Singleton() = default;
};
