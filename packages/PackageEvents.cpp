// Analytics events of a package.
#include <windows.h>

#include <exception>
#include <thread>

#include "backend/Request.h"
#include "backend/RetryPause.h"
#include "backend/RunLog.h"
#include "packages/EventThreads.h"
#include "packages/Package.h"

void Package::SendEvent(int code, const nlohmann::json& extra) {
  if (m_finalEventDelivered) return;
  // What the worker sends is taken here, on the caller's thread: the configuration's arrival may
  // replace the record and the headers on the UI thread while the event is on its way.
  EventDelivery delivery;
  try {
    nlohmann::json record = m_eventRecord;
    record["6"] = std::to_string(code);
    if (extra.is_object()) {
      for (const auto& [key, value] : extra.items()) record[key] = value;
    }
    delivery.code = code;
    delivery.body = MakeAnalyticsEnvelope(record);
    delivery.headers = m_requestHeaders;
    delivery.url = m_analyticsUrl;
    delivery.label = "Event " + std::to_string(code) + " of " +
                     (m_isMainProduct ? (m_adId.empty() ? "the main product" : "the main product " + m_adId)
                                      : "offer " + m_adId);
  } catch (...) {
    return;  // a record that cannot be written is dropped, as one that cannot be sent
  }
  // Counted before the thread exists, so the count can never reach 0 while an event is still
  // on its way and a waiter is always woken by the last one to finish.
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_pendingEvents;
  }
  EventThreadStarting();
  try {
    // The thread keeps the package alive until it is done (packages are owned by shared pointers;
    // one that is not waits for its events when destroyed).
    std::thread([this, self = weak_from_this().lock(), delivery = std::move(delivery)]() mutable {
      SendEventWorker(delivery);
      self.reset();  // the package (and its image) may go here, before the process is told we are done
      EventThreadFinished();
    }).detach();
  } catch (const std::exception&) {
    EventThreadFinished();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (--m_pendingEvents == 0) m_eventsIdle.notify_all();
  }
}

void Package::SendEventWorker(const EventDelivery& delivery) {
  try {
    for (int attempt = 1; attempt <= 2; ++attempt) {
      std::string response;
      uint32_t status = 0;
      const bool sent = PostJson(delivery.url, delivery.body, delivery.headers, response, status);
      const DWORD error = GetLastError();
      if (sent && status >= 200 && status <= 399) {
        if (IsFinalEventCode(delivery.code)) m_finalEventDelivered = true;
        runlog::Write(delivery.label + ": taken by the back end (status " + std::to_string(status) + ")");
        break;
      }
      runlog::Write(delivery.label + ", attempt " + std::to_string(attempt) + ": not taken (" +
                    (sent ? "status " + std::to_string(status) : "error " + std::to_string(error)) + ")");
      std::this_thread::sleep_for(RetryPause());
    }
  } catch (...) {
    runlog::Write(delivery.label + ": could not be sent");  // the event is dropped
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  if (--m_pendingEvents == 0) m_eventsIdle.notify_all();
}

void Package::WaitForEvents() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_eventsIdle.wait(lock, [this] { return m_pendingEvents == 0; });
}
