#pragma once
// One installable product of the run: the main product or an offer. Carries what the pages show,
// what the installer step needs, the offer's eligibility rules and its analytics state.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "backend/Request.h"

namespace Gdiplus {
class Bitmap;
}

// An uninstall-entry rule of an offer ("cmdu").
struct UninstallCheck {
  std::wstring registryRoot;
  std::wstring registryKey;
  std::wstring valueName;
  std::wstring valueType;
  int64_t minDays = 0;
  bool timestampInMilliseconds = false;
};

class Package : public std::enable_shared_from_this<Package> {
 public:
  // An offer, from one element of the configuration's "o" array. Throws the JSON library's
  // exceptions for a malformed element.
  Package(const AnalyticsContext& context, const nlohmann::json& element, bool isMainProduct,
          const std::string& channelDefault, int position);
  // The main product, from texts of the configuration.
  Package(const AnalyticsContext& context, bool isMainProduct, const std::wstring& adId, const std::wstring& adFlow,
          const std::wstring& displayName, const std::wstring& channel, int position = 0);
  // Waits until no event of this package is being sent.
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  // The main product once the configuration has been applied.
  void ReinitializeMain(const AnalyticsContext& context, const std::wstring& adId, const std::wstring& adFlow,
                        const std::wstring& displayName, const std::wstring& channel);

  // Replaces every "{key}" of the placeholder table.
  std::string ApplyPlaceholders(const std::string& text) const;

  void RebuildEventRecord();
  // Sends an analytics event on a thread of its own and returns at once. `extra` is null or an
  // object whose members go into the record.
  void SendEvent(int code, const nlohmann::json& extra = nullptr);
  // Blocks until no event of this package is being sent.
  void WaitForEvents();

  std::mutex m_mutex;
  std::condition_variable m_eventsIdle;
  int m_pendingEvents = 0;  // guarded by m_mutex
  nlohmann::json m_baseRecord;
  HeaderList m_requestHeaders;
  std::wstring m_analyticsUrl;  // where events go
  bool m_isMainProduct = false;
  std::string m_displayName;
  std::string m_adId;
  std::string m_adFlow;
  std::string m_channel;
  std::string m_imageName;
  std::string m_downloadUrl;
  std::string m_sha256;  // of the downloaded file, as the back end gave it ("": none)
  std::string m_arguments;
  std::string m_privacyUrl;
  std::string m_termsUrl;
  std::atomic<int32_t> m_vertical{0};
  int64_t m_minDiskSpace = 0;
  int64_t m_minRam = 0;
  int64_t m_minCpu = 0;
  int m_minOsVersion = 0;
  std::string m_platformVersion;
  bool m_requires64Bit = false;
  int m_position = 0;
  std::atomic<bool> m_finalEventDelivered{false};
  nlohmann::json m_eventRecord;
  std::shared_ptr<Gdiplus::Bitmap> m_image;
  std::vector<std::pair<std::string, std::string>> m_placeholders;  // in insertion order
  std::vector<std::wstring> m_excludeIfFileExists;
  std::vector<std::wstring> m_requireAnyFile;
  std::vector<std::string> m_excludeIfRunning;
  std::vector<std::wstring> m_excludeIfRegistryKey;
  std::vector<std::wstring> m_requireAnyRegistryKey;
  std::vector<std::wstring> m_registryValueNames;
  std::vector<std::wstring> m_registryValueData;
  std::vector<std::wstring> m_excludeApps;
  std::vector<std::wstring> m_includeApps;
  bool m_exclusive = false;
  bool m_rejectIfChromeAbsent = false;
  bool m_rejectIfChromePresent = false;
  bool m_rejectIfOldIe = false;
  std::vector<UninstallCheck> m_uninstallChecks;

 private:
  void SetPlaceholder(const std::string& key, const std::string& value);
  void ReadOfferSettings(const nlohmann::json& settings, const PathTokenTable& tokens);
  void ApplyPreset(int64_t preset);
  // One event as it goes out: taken when it is sent, never read from the package again.
  struct EventDelivery {
    int code = 0;
    std::string body;
    HeaderList headers;
    std::wstring url;
    std::string label;  // for the run's log: "event 3 of offer x"
  };
  void SendEventWorker(const EventDelivery& delivery);
};

// Codes after whose delivery a package sends nothing more: -1, 2, 3, 4 and 5.
bool IsFinalEventCode(int code);

// UTF-8 to UTF-16; throws std::runtime_error when a non-empty text converts to nothing.
std::wstring Utf8ToWide(const std::string& text);
