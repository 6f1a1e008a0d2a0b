#pragma once
// RAII owners for Win32 handles.
#include <utility>
#include <windows.h>

namespace win {

// Owns a handle value and releases it with Traits::Close unless it equals Traits::Invalid().
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(Type value) : m_value(value) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Type Get() const { return m_value; }
  explicit operator bool() const { return m_value != Traits::Invalid(); }
  Type Release() { return std::exchange(m_value, Traits::Invalid()); }
  void Reset(Type value = Traits::Invalid()) {
    if (m_value != Traits::Invalid()) Traits::Close(m_value);
    m_value = value;
  }
  // For APIs that fill a handle through a pointer.
  Type* Put() {
    Reset();
    return &m_value;
  }

 private:
  Type m_value = Traits::Invalid();
};

struct KernelHandleTraits {  // events, mutexes, processes, threads
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFileW
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFileW
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindClose(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { RegCloseKey(h); }
};
struct GlobalMemoryTraits {
  using Type = HGLOBAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { GlobalFree(h); }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { DestroyIcon(h); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;

// Releases a COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* Get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }
  T** Put() {
    Reset();
    return &m_ptr;
  }
  void Reset() {
    if (m_ptr) m_ptr->Release();
    m_ptr = nullptr;
  }

 private:
  T* m_ptr = nullptr;
};

}  // namespace win
