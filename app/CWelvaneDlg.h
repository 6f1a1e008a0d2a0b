#pragma once
// The wizard's one top-level window: frame, header, single-instance guard and the page area.
#include <optional>

#include "ui/CStaticFromImage.h"
#include "win/Control.h"
#include "win/Dialog.h"
#include "win/Handle.h"

class CWelvaneDlg : public win::Dialog {
 public:
  CWelvaneDlg();
  ~CWelvaneDlg() override;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override {}            // Enter belongs to the pages
  void OnCancel() override;          // Esc closes like the caption's close button

 private:
  std::optional<LRESULT> OnSysCommand(WPARAM id, LPARAM lParam);
  std::optional<LRESULT> OnPaint();
  void OnClose();
  bool CreateInitialPages();
  bool TakeSingleInstanceMutex();

  HICON m_hIcon = nullptr;
  win::Control m_titleLabel;
  CStaticFromImage m_productLogo;
  win::Control m_headerLine;
  win::KernelHandle m_mutex;
};
