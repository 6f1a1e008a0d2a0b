#include "app/OfferRecord.h"

#include <algorithm>

#include "backend/RunLog.h"
#include "backend/RunSettings.h"
#include "packages/Package.h"
#include "ui/IPage.h"

void RecordPageShown(RunSettings& run, const IPage* page) {
  const std::shared_ptr<Package> offer = page ? page->OfferAsked() : nullptr;
  if (!offer) return;
  auto& shown = run.m_shownOffers;
  if (std::find(shown.begin(), shown.end(), offer) == shown.end()) shown.push_back(offer);
}

void RecordPageAnswer(RunSettings& run, const IPage* page, ButtonType answer) {
  const std::shared_ptr<Package> offer = page ? page->OfferAsked() : nullptr;
  if (!offer) return;
  runlog::Write("Offer " + offer->m_adId + (answer == ButtonType::Accept ? ": accepted by the user" : ": declined by the user"));
  if (answer == ButtonType::Accept) run.m_acceptedOffers.push_back(offer);
}
