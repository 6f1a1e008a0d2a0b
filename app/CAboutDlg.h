#pragma once
#include "win/Dialog.h"

// The About box: icon, "Welvane, Version x.y.z.w" and a notice line.
class CAboutDlg : public win::Dialog {
 public:
  CAboutDlg();

 protected:
  BOOL OnInitDialog() override;
};
