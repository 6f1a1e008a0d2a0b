#include "app/CAboutDlg.h"

#include "backend/ConfigurationManager.h"
#include "resources/resource.h"

CAboutDlg::CAboutDlg() : win::Dialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
  const auto config = ConfigurationManager::GetInstance();
  SetItemText(IDC_VERSION_LABEL, L"Welvane, Version " + config->m_programVersion);
  return TRUE;
}
