#include "app/OfferRecord.h"

#include <algorithm>

#include "backend/RunSettings.h"
#include "ui/ProductPage.h"

void RecordPageShown(RunSettings& run, const IPage* page) {
  const auto* offerPage = dynamic_cast<const ProductPage*>(page);
  if (!offerPage || !offerPage->Offer()) return;
  auto& shown = run.m_shownOffers;
  if (std::find(shown.begin(), shown.end(), offerPage->Offer()) == shown.end()) shown.push_back(offerPage->Offer());
}

void RecordPageAnswer(RunSettings& run, const IPage* page, ButtonType answer) {
  const auto* offerPage = dynamic_cast<const ProductPage*>(page);
  if (answer == ButtonType::Accept && offerPage && offerPage->Offer()) run.m_acceptedOffers.push_back(offerPage->Offer());
}
