#include "eligibility/OfferLoading.h"

#include <future>
#include <string>

#include "backend/AnalyticsContext.h"
#include "backend/ConfigurationResponse.h"
#include "backend/RunLog.h"
#include "packages/Package.h"
#include "win/Text.h"

namespace {

bool IsSet(const std::atomic<bool>* flag) { return flag && flag->load(); }

// The images of the shown offers, then the logo, fetched side by side; one that cannot be started
// on a thread of its own is fetched here.
void FetchImages(const LoadingInputs& inputs, LoadedOffers& loaded) {
  std::vector<std::wstring> urls;
  for (const auto& offer : loaded.offers) {
    try {
      urls.push_back(loaded.settings.m_filesUrl + win::FromUtf8(offer->m_imageName));
    } catch (const std::exception&) {
      urls.emplace_back();  // a name that is not UTF-8 has no image
    }
  }
  const bool wantsLogo = loaded.settings.m_wizardType == kWizardDlm && !loaded.settings.m_productLogoUrl.empty();
  if (wantsLogo) urls.push_back(loaded.settings.m_productLogoUrl);

  const auto fetch = [&inputs](const std::wstring& url) {
    return url.empty() || IsSet(inputs.closing) ? std::vector<char>() : inputs.fetch(url);
  };
  std::vector<std::future<std::vector<char>>> pending;
  for (const std::wstring& url : urls) {
    try {
      pending.push_back(std::async(std::launch::async, fetch, url));
    } catch (const std::system_error&) {
      std::promise<std::vector<char>> done;
      done.set_value(fetch(url));
      pending.push_back(done.get_future());
    }
  }
  for (std::size_t i = 0; i < pending.size(); ++i) {
    std::vector<char> bytes = pending[i].get();
    if (i < loaded.offers.size()) {
      loaded.images.push_back(std::move(bytes));
    } else {
      loaded.logo = std::move(bytes);
    }
  }
}

}  // namespace

std::vector<std::shared_ptr<Package>> RunEligibilityPass(OfferChecker& checker, std::size_t count,
                                                         const OfferMaker& make, const std::atomic<bool>* closing) {
  std::vector<std::shared_ptr<Package>> shown;
  for (std::size_t i = 0; i < count; ++i) {
    if (IsSet(closing)) break;  // nobody will see them
    const std::shared_ptr<Package> offer = make(i, shown.size());
    bool stop = false;
    if (checker.IsEligible(offer, stop)) {
      runlog::Write("Offer " + offer->m_adId + ": eligible, shown as offer " + std::to_string(shown.size() + 1));
      shown.push_back(offer);
      if (offer->m_exclusive) break;
    } else if (stop) {
      runlog::Write("Offer " + offer->m_adId + ": not checked, the run shows no more offers");
      break;
    }
  }
  return shown;
}

LoadedOffers LoadOffers(LoadingInputs inputs) {
  LoadedOffers loaded;
  loaded.settings = std::move(inputs.settings);
  RunSettings& settings = loaded.settings;
  try {
    const std::unique_ptr<nlohmann::json> response = inputs.requestConfiguration(settings);
    const AppliedConfiguration applied = ApplyConfigurationResponse(*response, settings);
    if (applied.configurationError) {
      runlog::Write("The configuration names no product to download");
      loaded.status = LoadedOffers::Status::kConfigurationError;
      return loaded;
    }
    if (applied.readOffers) {
      OfferChecker checker(settings.m_maxOffers, settings.m_programVersion, settings.GetPathTokens(), inputs.probes);
      const AnalyticsContext context = CreateAnalyticsContext(settings);
      const nlohmann::json& elements = response->at("o");
      std::vector<const nlohmann::json*> candidates;
      for (const nlohmann::json& element : elements) candidates.push_back(&element);
      loaded.offers = RunEligibilityPass(
          checker, candidates.size(),
          [&](std::size_t candidate, std::size_t shown) {
            return std::make_shared<Package>(context, *candidates[candidate], false, std::string(),
                                             static_cast<int>(shown));
          },
          inputs.closing);
      loaded.rejections = std::move(checker.m_rejections);
    }
  } catch (const std::exception& e) {
    runlog::Write(std::string("The configuration cannot be used: ") + e.what());
    loaded.offers.clear();
    loaded.status = LoadedOffers::Status::kFailed;
    return loaded;
  } catch (...) {
    runlog::Write("The configuration cannot be used");
    loaded.offers.clear();
    loaded.status = LoadedOffers::Status::kFailed;
    return loaded;
  }
  try {
    FetchImages(inputs, loaded);
  } catch (...) {
    loaded.images.clear();  // offers without images, as when every fetch failed
    loaded.logo.clear();
  }
  loaded.status = LoadedOffers::Status::kReady;
  return loaded;
}
