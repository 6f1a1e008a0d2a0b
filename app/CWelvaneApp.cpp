#include "app/CWelvaneApp.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/CWelvaneDlg.h"

BOOL CWelvaneApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
  // The offer page's consent text is a SysLink, which is not among the classes above.
  controls.dwICC = ICC_LINK_CLASS;
  InitCommonControlsEx(&controls);
  // Shell calls (ShellExecute, known folders) expect COM on the UI thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  {
    CWelvaneDlg dialog;
    dialog.DoModal(nullptr);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return FALSE;
}
