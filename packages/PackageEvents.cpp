// Analytics events of a package, and its image.
#include <windows.h>
#include <shlwapi.h>

#include <exception>
#include <thread>

#include "backend/ConfigurationManager.h"
#include "backend/Request.h"
#include "backend/RetryPause.h"
#include "download/DownloadManager.h"
#include "packages/Package.h"
#include "win/Gdiplus.h"
#include "win/Handle.h"
#include "win/Text.h"

void Package::SendEvent(int code, const nlohmann::json& extra) {
  if (m_finalEventDelivered) return;
  // Counted before the thread exists, so the count can never reach 0 while an event is still
  // on its way and a waiter is always woken by the last one to finish.
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_pendingEvents;
  }
  try {
    std::thread(&Package::SendEventWorker, this, code, extra).detach();
  } catch (const std::exception&) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_pendingEvents == 0) m_eventsIdle.notify_all();
  }
}

void Package::SendEventWorker(int code, nlohmann::json extra) {
  try {
    nlohmann::json record = m_eventRecord;
    record["6"] = std::to_string(code);
    if (extra.is_object()) {
      for (const auto& [key, value] : extra.items()) record[key] = value;
    }
    const std::string body = MakeAnalyticsEnvelope(record);
    const std::wstring url = ConfigurationManager::GetInstance()->m_analyticsUrl;
    for (int attempt = 0; attempt < 2; ++attempt) {
      std::string response;
      uint32_t status = 0;
      if (PostJson(url, body, m_requestHeaders, response, status) && status >= 200 && status <= 399) {
        if (IsFinalEventCode(code)) m_finalEventDelivered = true;
        break;
      }
      std::this_thread::sleep_for(RetryPause());
    }
  } catch (...) {
    // Nothing could be sent: the event is dropped.
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  if (--m_pendingEvents == 0) m_eventsIdle.notify_all();
}

void Package::WaitForEvents() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_eventsIdle.wait(lock, [this] { return m_pendingEvents == 0; });
}

void Package::DownloadImage(const std::function<void()>& done) {
  if (m_isMainProduct) {
    if (done) done();
    return;
  }
  const std::wstring url = ConfigurationManager::GetInstance()->m_filesUrl + win::Widen(m_imageName, CP_THREAD_ACP);
  // The download thread keeps the package alive until it is done with it.
  auto self = shared_from_this();
  DownloadManager::GetInstance()->DownloadToMemoryAsync(url, [self, done](std::unique_ptr<std::vector<char>> bytes) {
    if (bytes && !bytes->empty()) {
      win::ComPtr<IStream> stream;
      *stream.Put() = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes->data()), static_cast<UINT>(bytes->size()));
      // An undecodable image still gives a bitmap, in an error state.
      if (stream) self->m_image = std::make_shared<Gdiplus::Bitmap>(stream.Get());
    }
    if (done) done();
  });
}
