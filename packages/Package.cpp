#include "packages/Package.h"

#include <windows.h>

#include <stdexcept>
#include <string_view>

#include "backend/Base62.h"
#include "backend/JsonNumber.h"
#include "backend/PathTokens.h"
#include "backend/TokenExpansion.h"
#include "win/Text.h"

namespace {

using nlohmann::json;

// Lists of strings converted from UTF-8.
std::vector<std::wstring> WideList(const json& value) {
  std::vector<std::wstring> list;
  for (const std::string& item : value.get<std::vector<std::string>>()) list.push_back(Utf8ToWide(item));
  return list;
}

// File rules: text (UTF-8, as every JSON string) with the folder tokens of this machine expanded.
std::vector<std::wstring> FileRuleList(const json& value, const PathTokenTable& tokens) {
  std::vector<std::wstring> list;
  for (const std::string& item : value.get<std::vector<std::string>>()) {
    list.push_back(ExpandPathTokens(win::FromUtf8(item), tokens));
  }
  return list;
}

// A number rule: any JSON number (fractions cut, clamped to the field's type) or a boolean (true is 1).
template <typename T = int64_t>
T Number(const json& value) {
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  return ClampedNumber<T>(value);
}

UninstallCheck ReadUninstallCheck(const json& item) {
  UninstallCheck check;
  check.registryRoot = Utf8ToWide(item.at("utr").get<std::string>());
  check.registryKey = Utf8ToWide(item.at("utk").get<std::string>());
  check.valueName = Utf8ToWide(item.at("utvn").get<std::string>());
  check.valueType = Utf8ToWide(item.at("utvt").get<std::string>());
  check.minDays = Number(item.at("umd"));
  check.timestampInMilliseconds = item.contains("utms") ? item.at("utms").get<bool>() : false;
  return check;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (count <= 0) throw std::runtime_error("MultiByteToWideChar() failed: " + std::to_string(count));
  return win::Widen(text, CP_UTF8);
}

bool IsFinalEventCode(int code) { return code == -1 || code == 2 || code == 3 || code == 4 || code == 5; }

Package::Package(const AnalyticsContext& context, const json& element, bool isMainProduct,
                 const std::string& channelDefault, int position)
    : m_baseRecord(context.record),
      m_requestHeaders(context.headers),
      m_analyticsUrl(context.analyticsUrl),
      m_isMainProduct(isMainProduct),
      m_channel(channelDefault),
      m_position(position) {
  SetPlaceholder("userid", context.userId);
  SetPlaceholder("sessionid", context.sessionTimestamp);
  SetPlaceholder("cc", context.countryCode);
  SetPlaceholder("pubid", context.publisherId);
  SetPlaceholder("ispb", context.ispb);

  const json& ad = element.at("ad");
  m_adFlow = ad.at("f").get<std::string>();
  m_adId = ad.at("o").get<std::string>();

  std::string pixel;
  try {
    pixel = Base62Encode(context.userId + "|" + m_adId + "|" + context.sessionTimestamp);
  } catch (const std::runtime_error&) {
    pixel.clear();
  }
  m_placeholders.emplace_back("pxl", pixel);
  m_placeholders.emplace_back("of", m_adFlow);

  ReadOfferSettings(element.at("ps"), context.pathTokens);
  RebuildEventRecord();
}

Package::Package(const AnalyticsContext& context, bool isMainProduct, const std::wstring& adId,
                 const std::wstring& adFlow, const std::wstring& displayName, const std::wstring& channel,
                 int position)
    : m_baseRecord(context.record),
      m_requestHeaders(context.headers),
      m_analyticsUrl(context.analyticsUrl),
      m_isMainProduct(isMainProduct),
      m_displayName(win::ToUtf8(displayName)),
      m_adId(win::ToUtf8(adId)),
      m_adFlow(win::ToUtf8(adFlow)),
      m_channel(win::ToUtf8(channel)),
      m_position(position) {
  RebuildEventRecord();
}

Package::~Package() { WaitForEvents(); }

void Package::ReinitializeMain(const AnalyticsContext& context, const std::wstring& adId, const std::wstring& adFlow,
                               const std::wstring& displayName, const std::wstring& channel) {
  m_baseRecord = context.record;
  m_requestHeaders = context.headers;
  m_analyticsUrl = context.analyticsUrl;
  m_isMainProduct = true;
  m_displayName = win::ToUtf8(displayName);
  m_adId = win::ToUtf8(adId);
  m_adFlow = win::ToUtf8(adFlow);
  m_channel = win::ToUtf8(channel);
  m_position = 0;
  RebuildEventRecord();
}

void Package::SetPlaceholder(const std::string& key, const std::string& value) {
  if (!value.empty()) m_placeholders.emplace_back(key, value);
}

void Package::ReadOfferSettings(const json& ps, const PathTokenTable& tokens) {
  m_imageName = ApplyPlaceholders(ps.at("i").get<std::string>());
  m_displayName = ApplyPlaceholders(ps.at("dn").get<std::string>());
  m_downloadUrl = ApplyPlaceholders(ps.at("u").get<std::string>());
  if (ps.contains("sha256")) m_sha256 = ps.at("sha256").get<std::string>();
  if (ps.contains("p")) m_arguments = ApplyPlaceholders(ps.at("p").get<std::string>());
  if (ps.contains("cp")) m_privacyUrl = ApplyPlaceholders(ps.at("cp").get<std::string>());
  if (ps.contains("ctu")) m_termsUrl = ApplyPlaceholders(ps.at("ctu").get<std::string>());
  if (ps.contains("v")) m_vertical = Number<int32_t>(ps.at("v"));
  if (ps.contains("exc")) m_exclusive = ps.at("exc").get<bool>();
  if (ps.contains("c")) m_channel = ApplyPlaceholders(ps.at("c").get<std::string>());
  if (ps.contains("disk")) m_minDiskSpace = Number(ps.at("disk"));
  if (ps.contains("ram")) m_minRam = Number(ps.at("ram"));
  if (ps.contains("cpu")) m_minCpu = Number(ps.at("cpu"));
  if (ps.contains("ov")) m_minOsVersion = Number<int>(ps.at("ov"));
  if (ps.contains("pv")) m_platformVersion = ps.at("pv").get<std::string>();
  if (ps.contains("win64")) m_requires64Bit = ps.at("win64").get<bool>();
  const int64_t preset = ps.contains("x") ? Number(ps.at("x")) : 0;
  if (ps.contains("fe")) m_excludeIfFileExists = FileRuleList(ps.at("fe"), tokens);
  if (ps.contains("ife")) m_requireAnyFile = FileRuleList(ps.at("ife"), tokens);
  if (ps.contains("a")) m_excludeIfRunning = ps.at("a").get<std::vector<std::string>>();
  if (ps.contains("r")) m_excludeIfRegistryKey = WideList(ps.at("r"));
  if (ps.contains("ir")) m_requireAnyRegistryKey = WideList(ps.at("ir"));
  if (ps.contains("rvn")) m_registryValueNames = WideList(ps.at("rvn"));
  if (ps.contains("rvd")) m_registryValueData = WideList(ps.at("rvd"));
  if (ps.contains("cmdu")) {
    for (const json& item : ps.at("cmdu").get<std::vector<json>>()) m_uninstallChecks.push_back(ReadUninstallCheck(item));
  }
  if (ps.contains("eapp")) m_excludeApps = WideList(ps.at("eapp"));
  if (ps.contains("iapp")) m_includeApps = WideList(ps.at("iapp"));
  ApplyPreset(preset);  // after every key, so a preset overrides explicit values
}

void Package::ApplyPreset(int64_t preset) {
  switch (preset) {
    case 1:
      m_minDiskSpace = 2500;
      m_minRam = 250;
      break;
    case 2:
      m_rejectIfChromeAbsent = true;
      m_rejectIfOldIe = true;
      break;
    case 3:
      m_minDiskSpace = 512;
      m_minRam = 1536;
      m_minCpu = 1500;
      break;
    case 10:
      m_requires64Bit = true;
      break;
    case 12:
      m_rejectIfChromeAbsent = true;
      break;
    case 13:
      m_rejectIfChromePresent = true;
      break;
    default:
      break;
  }
}

// Each key is replaced wherever its pattern stands; the search goes on after the inserted value,
// so a value that holds its own pattern is inserted once per occurrence instead of for ever.
std::string Package::ApplyPlaceholders(const std::string& text) const { return ExpandTokens(text, m_placeholders); }

void Package::RebuildEventRecord() {
  m_eventRecord = m_baseRecord;
  if (m_isMainProduct) {
    m_eventRecord["5"] = m_eventRecord.contains("22") ? m_eventRecord["22"] : json("");
    m_eventRecord["10"] = 1;
    m_eventRecord["18"] = "";
  } else {
    m_eventRecord["5"] = m_adId;
    m_eventRecord["10"] = 2;
    m_eventRecord["16"] = m_channel;
    m_eventRecord["17"] = std::to_string(m_position + 1);
    m_eventRecord["18"] = m_adFlow;
  }
}
