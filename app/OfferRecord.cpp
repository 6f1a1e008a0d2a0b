#include "app/OfferRecord.h"

#include <algorithm>

#include "backend/RunLog.h"
#include "backend/RunSettings.h"
#include "packages/Package.h"
#include "ui/ProductPage.h"

void RecordPageShown(RunSettings& run, const IPage* page) {
  const auto* offerPage = dynamic_cast<const ProductPage*>(page);
  if (!offerPage || !offerPage->Offer()) return;
  auto& shown = run.m_shownOffers;
  if (std::find(shown.begin(), shown.end(), offerPage->Offer()) == shown.end()) shown.push_back(offerPage->Offer());
}

void RecordPageAnswer(RunSettings& run, const IPage* page, ButtonType answer) {
  const auto* offerPage = dynamic_cast<const ProductPage*>(page);
  if (offerPage && offerPage->Offer()) {
    runlog::Write("Offer " + offerPage->Offer()->m_adId +
                  (answer == ButtonType::Accept ? ": accepted by the user" : ": declined by the user"));
  }
  if (answer == ButtonType::Accept && offerPage && offerPage->Offer()) run.m_acceptedOffers.push_back(offerPage->Offer());
}
