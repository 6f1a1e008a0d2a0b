#pragma once
// The loading sequence of a run, without a window: ask the back end for the configuration, apply it
// to a copy of the run's settings, pass the offers through the eligibility engine in configuration
// order, and fetch the shown offers' images and the download manager's product logo. It runs on a
// worker thread; the caller shows its result on the UI thread.
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/RunSettings.h"
#include "eligibility/MachineProbes.h"
#include "eligibility/OfferChecker.h"

class Package;

struct LoadingInputs {
  RunSettings settings;  // a copy of the run's, made on the UI thread
  // The back end's configuration answer for these settings; throws when there is none.
  std::function<std::unique_ptr<nlohmann::json>(const RunSettings&)> requestConfiguration;
  // The body at an address; empty when it could not be fetched.
  std::function<std::vector<char>(const std::wstring& url)> fetch;
  const std::atomic<bool>* closing = nullptr;  // set when the user closes the wizard
  std::shared_ptr<MachineProbes> probes = RealMachineProbes();
};

struct LoadedOffers {
  enum class Status {
    kReady,               // the offers to show (maybe none)
    kConfigurationError,  // the download manager's product has no title or no address
    kFailed,              // no configuration, or a fault in it that ends the pass
  };
  Status status = Status::kFailed;
  RunSettings settings;  // the copy with the answer applied, as far as it was applied
  std::vector<std::shared_ptr<Package>> offers;  // to show, in order
  std::vector<std::vector<char>> images;         // each shown offer's image, empty when it failed
  std::vector<char> logo;                        // the product logo (download manager), or empty
  std::vector<Rejection> rejections;             // in order, each already sent as event 2
};

// The whole sequence. Never throws: a failure is a status.
LoadedOffers LoadOffers(LoadingInputs inputs);

// The eligibility pass over `count` candidates, each made only when its turn comes (`make` gets the
// candidate's index and the number of offers shown so far): stops at the offer limit, after an
// exclusive offer that is shown, and when `closing` is set. Returns the offers to show.
using OfferMaker = std::function<std::shared_ptr<Package>(std::size_t candidate, std::size_t shown)>;
std::vector<std::shared_ptr<Package>> RunEligibilityPass(OfferChecker& checker, std::size_t count,
                                                         const OfferMaker& make,
                                                         const std::atomic<bool>* closing = nullptr);
