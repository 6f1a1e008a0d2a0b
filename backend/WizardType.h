#pragma once
// The wizard flavours, numbered as the build's wizard-type string maps them ("DLM" 1, "ISV" 2).
enum WizardType : int { kWizardUnknown = 0, kWizardDlm = 1, kWizardIsv = 2 };
