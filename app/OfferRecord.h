#pragma once
// What the page host records in the run when an offer page is shown or answered: every offer
// whose page was shown once, and the accepted offers in page order. Other pages record nothing.
#include "ui/IPage.h"

struct RunSettings;

void RecordPageShown(RunSettings& run, const IPage* page);
void RecordPageAnswer(RunSettings& run, const IPage* page, ButtonType answer);
